#pragma once

#include "line/line.h"
#include "protocol/modbus/reply_check.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>

namespace kv {

// How one request/reply transaction ended.
enum class OutcomeKind {
    Ok,         // the whole, intact answer to what was asked
    NoReply,    // nothing came before the timeout
    Partial,    // some bytes came, not the whole frame
    BadCrc,     // a whole frame whose CRC does not match
    Exception,  // the station answered with an exception code
    Unexpected, // an intact frame that does not answer the request (station, function, shape)
    PortLost,   // the device went away while the transaction was open
};

struct Outcome {
    OutcomeKind kind = OutcomeKind::NoReply;
    QByteArray request;                      // the RTU frame asked (sent in MBAP form on such a line)
    QByteArray reply;                        // every byte that arrived for it, as it came off the line
    Framing framing = Framing::Rtu;          // the shape of the reply's bytes
    ReplyCheck check;                        // the judgement of those bytes
    std::chrono::nanoseconds responseTime{}; // last request byte to last reply byte; 0 without reply bytes
    std::chrono::nanoseconds waited{};       // from sending to the end of the transaction
    qint64 finishedAt = 0;                   // CLOCK_MONOTONIC nanoseconds

    bool ok() const { return kind == OutcomeKind::Ok; }

    // The reply shaped as an RTU frame, station first, for decoding: the
    // reply itself, or a Modbus TCP reply's unit id and PDU (an RTU frame
    // without its CRC).
    QByteArray frame() const;
};

// The outcome a reply judged this way gives.
OutcomeKind outcomeOf(const ReplyCheck& check);

// The machine word for an outcome, as scripts read it: "ok", "no-reply",
// "partial", "bad-crc", "exception-02" (two hex digits), "unexpected", "port-lost".
QString statusCode(OutcomeKind kind, std::uint8_t exceptionCode = 0);
inline QString statusCode(const Outcome& outcome)
{
    return statusCode(outcome.kind, outcome.check.exceptionCode);
}

} // namespace kv

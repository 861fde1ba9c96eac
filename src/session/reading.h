#pragma once

#include "protocol/kv9240b/measurement.h"
#include "protocol/modbus/reply_check.h"
#include "session/outcome.h"

#include <QDateTime>

namespace kv {

// One reading of one station: when it was taken, how the exchange ended and,
// when it succeeded, the values it carried (quantities the reply did not cover
// stay empty). The command line's records and the window's recording are rows
// of these.
struct Reading {
    QDateTime time; // local time with its UTC offset
    std::uint8_t station = 0;
    OutcomeKind status = OutcomeKind::NoReply;
    ReplyCheck check; // how the reply was judged (exception code, bytes of a partial one)
    Measurement values;
    std::chrono::nanoseconds responseTime{};
    std::chrono::milliseconds timeout{}; // how long a reply was awaited
    QString port;                        // the port or gateway it was read on, as records tag it; empty: untagged

    bool ok() const { return status == OutcomeKind::Ok; }
};

// Now, in local time at the UTC offset in force now. Kept as that offset
// rather than as "local time", the stamp gives its date, clock and offset
// without the time zone rules being asked again for each record.
QDateTime readingTimeNow();

// The reading a transaction with `station` ended in, at `time`.
Reading readingOf(
    const Outcome& outcome, std::uint8_t station, const QDateTime& time, std::chrono::milliseconds timeout);

} // namespace kv

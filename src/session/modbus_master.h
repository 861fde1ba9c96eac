#pragma once

#include "protocol/modbus/frame.h"
#include "session/outcome.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

namespace kv {

class Line;

// A Modbus RTU master on one line, for everything that is not the window's
// own exchange: one transaction at a time, the reply awaited for its expected
// length, a timeout from the frame lengths at the line rate plus an allowance
// for the sensor's turnaround, and a typed outcome. It paces the line's
// reception, so it needs the line to itself while it works. Any transport's
// line will do: the engine knows the line only through its interface. On a
// line to a Modbus TCP gateway (Line::framing() is Mbap) it writes each
// request in MBAP form, with the next transaction id, and judges the reply
// as such; on any network line the timeout has NetworkAllowance more.
class ModbusMaster : public QObject {
    Q_OBJECT

public:
    // The sensor's usual turnaround, counted into the exchange on the wire.
    static constexpr std::chrono::milliseconds NominalTurnaround{5};
    // What the default timeout allows beyond the exchange on the wire.
    static constexpr std::chrono::milliseconds DefaultAllowance{100};
    // What a line through a gateway adds to every timeout, derived or fixed:
    // the way there and back over the network and the gateway's own work.
    static constexpr std::chrono::milliseconds NetworkAllowance{200};

    explicit ModbusMaster(Line& line, QObject* parent = nullptr);
    ~ModbusMaster() override;

    // The allowance beyond the exchange on the wire (default 100 ms).
    void setAllowance(std::chrono::milliseconds allowance) { m_allowance = allowance; }
    // A fixed timeout in place of the derived one; empty: derived.
    void setTimeout(std::optional<std::chrono::milliseconds> timeout) { m_fixedTimeout = timeout; }

    // How long a request waits for its reply at the line's rate.
    std::chrono::milliseconds timeoutFor(std::span<const std::uint8_t> request) const;

    bool busy() const { return m_busy; }
    Line& line() const { return m_line; }

    // When the line will have been silent for 3.5 characters since the last
    // byte that crossed it, our request or anything heard (CLOCK_MONOTONIC ns):
    // the earliest moment the next request may go out, or frames on the bus
    // run together. 0 before the first transaction.
    qint64 lineQuietAt() const;

    // Sends the request; finished() follows exactly once, later, on the event
    // loop. Returns false (and sends nothing) while busy or with the line closed.
    bool start(const Frame& request);
    // Ends an open transaction without an outcome: the request taken over by
    // the next one. Its answer may still come, and will not be the next one's.
    void cancel();

    // Runs one transaction to its end in a local event loop.
    Outcome exchange(const Frame& request);

signals:
    void finished(const kv::Outcome& outcome);
    // Bytes off the line that answer no open transaction: they came while
    // none was open, or began before the open one was sent (the late answer
    // of one before it). Said once per delivery, after finished() if any.
    void strayArrived(const QByteArray& bytes);

private:
    void onReceived();
    void onLost();
    void heard(const QByteArray& bytes, qint64 at);
    void timedOut();
    void finish(bool portLost = false);
    void reportStray();
    bool replyComplete() const;
    void setAsideLateAnswer();
    ReplyCheck judged(const QByteArray& reply) const;
    std::chrono::milliseconds networkAllowance() const;

    Line& m_line;
    QTimer m_timeout;
    std::chrono::milliseconds m_allowance = DefaultAllowance;
    std::optional<std::chrono::milliseconds> m_fixedTimeout;
    bool m_busy = false;
    QByteArray m_request;              // the RTU frame asked
    QByteArray m_written;              // what went on the line: the request, or its MBAP form
    std::uint16_t m_transactionId = 0; // the last Modbus TCP transaction id used
    QByteArray m_reply;
    qint64 m_sentAt = 0;              // monotonic ns when the request was handed over
    qint64 m_lastByteAt = 0;          // monotonic ns when the reply's last byte arrived
    bool m_answerBegun = false;       // a byte that can answer the request has come
    bool m_lateAnswerMayCome = false; // the last transaction ended without its whole answer
    QByteArray m_lateWritten;         // what went on the line for it, while its answer may still come
    qint64 m_lastHeardAt = 0;         // monotonic ns of the last chunk off the line, awaited or not
    ReplyCheck m_check;
    QByteArray m_stray; // heard in this delivery, answering nothing open
};

} // namespace kv

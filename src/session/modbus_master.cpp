#include "session/modbus_master.h"

#include "protocol/wire_timing.h"
#include "serial/comm_port.h"

#include <QEventLoop>

#include <algorithm>

namespace kv {

namespace {

constexpr int ExceptionLength = 5;

std::chrono::nanoseconds sinceNs(qint64 from, qint64 to)
{
    return std::chrono::nanoseconds(std::max<qint64>(0, to - from));
}

} // namespace

ModbusMaster::ModbusMaster(CommPort& port, QObject* parent)
    : QObject(parent)
    , m_port(port)
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, &ModbusMaster::timedOut);
    connect(&m_port, &CommPort::onComm, this, &ModbusMaster::onPortEvent);
    connect(&m_port, &CommPort::chunkArrived, this, &ModbusMaster::heard);
}

ModbusMaster::~ModbusMaster() = default;

std::chrono::milliseconds ModbusMaster::timeoutFor(std::span<const std::uint8_t> request) const
{
    if (m_fixedTimeout)
        return *m_fixedTimeout;
    const int replyBytes = std::max(expectedReplyLength(request), ExceptionLength);
    const auto onWire
        = exchangeTime(static_cast<int>(request.size()), replyBytes, m_port.baudRate(), NominalTurnaround);
    return std::chrono::ceil<std::chrono::milliseconds>(onWire) + m_allowance;
}

qint64 ModbusMaster::lineQuietAt() const
{
    if (m_sentAt == 0)
        return 0;
    const qint64 requestGone = m_sentAt + frameTime(static_cast<int>(m_request.size()), m_port.baudRate()).count();
    return std::max(requestGone, m_lastHeardAt) + silentInterval(m_port.baudRate()).count();
}

bool ModbusMaster::start(const Frame& request)
{
    if (m_busy || !m_port.portOpen())
        return false;
    m_request = QByteArray(reinterpret_cast<const char*>(request.data()), static_cast<qsizetype>(request.size()));
    m_reply.clear();
    m_check = {};
    m_port.setInBufferCount(0);
    m_port.setInputLen(0);
    m_port.setInputMode(CommPort::BinaryInput);
    // The answer's first byte wakes us, whenever the sensor sends it; the
    // rest is then gathered in one hold (see onPortEvent).
    m_port.setRThreshold(1);
    m_staleBytes = 0;
    m_answerBegun = !m_lateAnswerMayCome;
    m_busy = true;
    m_sentAt = CommPort::monotonicNow();
    if (!m_port.output(m_request)) {
        m_port.endHold();
        m_busy = false;
        return false;
    }
    m_timeout.start(timeoutFor(request));
    return true;
}

void ModbusMaster::cancel()
{
    if (!m_busy)
        return;
    m_port.endHold();
    m_timeout.stop();
    m_busy = false;
    m_port.setRThreshold(0);
}

Outcome ModbusMaster::exchange(const Frame& request)
{
    Outcome result;
    QEventLoop loop;
    const auto done = connect(this, &ModbusMaster::finished, &loop, [&](const Outcome& outcome) {
        result = outcome;
        loop.quit();
    });
    if (start(request))
        loop.exec();
    else
        result.kind = m_port.portOpen() ? OutcomeKind::NoReply : OutcomeKind::PortLost;
    disconnect(done);
    return result;
}

void ModbusMaster::heard(const QByteArray& bytes, qint64 at)
{
    m_lastHeardAt = at;
    if (!m_busy)
        return;
    // After a request left unanswered, bytes that were on the wire before
    // this one was handed over cannot answer it: they are that request's
    // late answer, or noise.
    const qint64 firstByteAt = at - frameTime(static_cast<int>(bytes.size()), m_port.baudRate()).count();
    if (!m_answerBegun && firstByteAt < m_sentAt) {
        m_staleBytes += bytes.size();
        return;
    }
    m_answerBegun = true;
    m_lastByteAt = at;
}

void ModbusMaster::takeArrived()
{
    QByteArray arrived = m_port.input();
    const qsizetype stale = std::min(m_staleBytes, arrived.size());
    arrived.remove(0, stale);
    m_staleBytes -= stale;
    if (arrived.isEmpty())
        return;
    m_reply += arrived;
    m_check = checkReply(asSpan(m_request), asSpan(m_reply));
}

bool ModbusMaster::replyComplete() const
{
    return m_check.verdict != ReplyVerdict::NoReply && m_check.verdict != ReplyVerdict::Partial;
}

void ModbusMaster::onPortEvent()
{
    if (!m_busy)
        return;
    if (m_port.commEvent() == CommPort::PortLost) {
        finish(true);
        return;
    }
    if (m_port.commEvent() != CommPort::ReceiveEvent)
        return;
    takeArrived();
    if (replyComplete()) {
        finish();
        return;
    }
    if (m_reply.isEmpty())
        return; // stale bytes only: the answer has not begun
    // The answer has begun: the rest of the longest one asked for (or what
    // its header says is missing) comes at the line rate, gathered in one
    // hold, one character more so that the hold does not end just before
    // the last byte. An exception, shorter, is whole within it.
    const int longest = std::max({m_check.expected, expectedReplyLength(asSpan(m_request)), ExceptionLength});
    const int missing = std::max(1, longest - static_cast<int>(m_reply.size()));
    m_port.holdReception(frameTime(missing + 1, m_port.baudRate()));
}

void ModbusMaster::timedOut()
{
    if (!m_busy)
        return;
    takeArrived(); // a reply that stopped short is still waiting in the port
    finish();
}

void ModbusMaster::finish(bool portLost)
{
    m_port.endHold();
    m_timeout.stop();
    m_busy = false;
    m_port.setRThreshold(0);

    Outcome outcome;
    outcome.request = m_request;
    outcome.reply = m_reply;
    outcome.check = m_check;
    outcome.finishedAt = CommPort::monotonicNow();
    outcome.waited = sinceNs(m_sentAt, outcome.finishedAt);
    outcome.kind = portLost ? OutcomeKind::PortLost : outcomeOf(m_check);
    m_lateAnswerMayCome = !replyComplete();
    if (!m_reply.isEmpty()) {
        const auto requestOnWire = frameTime(static_cast<int>(m_request.size()), m_port.baudRate());
        outcome.responseTime = sinceNs(m_sentAt + requestOnWire.count(), m_lastByteAt);
    }
    emit finished(outcome);
}

} // namespace kv

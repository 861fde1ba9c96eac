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
    connect(&m_port, &CommPort::chunkArrived, this, [this](const QByteArray&, qint64 at) { m_lastHeardAt = at; });
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
    // The line need not wake us for every byte of the answer: held until the
    // answer asked for can be whole after a sensor's usual turnaround, one
    // wake-up finds it complete. Held first, so that the threshold below
    // reaches the driver once, when the hold ends.
    const int expected = expectedReplyLength(request);
    m_port.holdReception(exchangeTime(
        static_cast<int>(request.size()), std::max(expected, ExceptionLength), m_port.baudRate(), NominalTurnaround));
    // Then whatever has come is taken once it can be an answer: the shortest
    // (an exception) is whole with five bytes.
    m_port.setRThreshold(std::min(expected > 0 ? expected : ExceptionLength, ExceptionLength));
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

void ModbusMaster::takeArrived()
{
    const QByteArray arrived = m_port.input();
    if (arrived.isEmpty())
        return;
    m_reply += arrived;
    m_lastByteAt = CommPort::monotonicNow();
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
    // Wait for what the frame still needs, as its header tells it; those
    // bytes take their time on the line before they can all be there.
    const int missing = std::max(1, m_check.expected - static_cast<int>(m_reply.size()));
    m_port.holdReception(frameTime(missing, m_port.baudRate()));
    m_port.setRThreshold(missing);
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
    if (!m_reply.isEmpty()) {
        const auto requestOnWire = frameTime(static_cast<int>(m_request.size()), m_port.baudRate());
        outcome.responseTime = sinceNs(m_sentAt + requestOnWire.count(), m_lastByteAt);
    }
    emit finished(outcome);
}

} // namespace kv

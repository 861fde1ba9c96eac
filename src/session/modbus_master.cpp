#include "session/modbus_master.h"

#include "line/line.h"
#include "protocol/kv9240b/sensor_reply.h"
#include "protocol/modbus/wire_timing.h"
#include "session/late_answer.h"

#include <QEventLoop>

#include <algorithm>
#include <utility>

namespace kv {

namespace {

std::chrono::nanoseconds sinceNs(qint64 from, qint64 to)
{
    return std::chrono::nanoseconds(std::max<qint64>(0, to - from));
}

} // namespace

ModbusMaster::ModbusMaster(Line& line, QObject* parent)
    : QObject(parent)
    , m_line(line)
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, &ModbusMaster::timedOut);
    connect(&m_line, &Line::received, this, &ModbusMaster::onReceived);
    connect(&m_line, &Line::lost, this, &ModbusMaster::onLost);
    connect(&m_line, &Line::chunkArrived, this, &ModbusMaster::heard);
}

ModbusMaster::~ModbusMaster() = default;

std::chrono::milliseconds ModbusMaster::timeoutFor(std::span<const std::uint8_t> request) const
{
    if (m_fixedTimeout)
        return *m_fixedTimeout + networkAllowance();
    const int replyBytes = std::max(expectedReplyLength(request), ExceptionLength);
    const auto onWire
        = exchangeTime(static_cast<int>(request.size()), replyBytes, m_line.baudRate(), NominalTurnaround);
    return std::chrono::ceil<std::chrono::milliseconds>(onWire) + m_allowance + networkAllowance();
}

std::chrono::milliseconds ModbusMaster::networkAllowance() const
{
    return m_line.isNetwork() ? NetworkAllowance : std::chrono::milliseconds(0);
}

qint64 ModbusMaster::lineQuietAt() const
{
    if (m_sentAt == 0)
        return 0;
    const qint64 requestGone = m_sentAt + frameTime(static_cast<int>(m_request.size()), m_line.baudRate()).count();
    return std::max(requestGone, m_lastHeardAt) + silentInterval(m_line.baudRate()).count();
}

bool ModbusMaster::start(const Frame& request)
{
    if (m_busy || !m_line.isOpen())
        return false;
    m_lateWritten = m_lateAnswerMayCome ? m_written : QByteArray();
    m_request = QByteArray(reinterpret_cast<const char*>(request.data()), static_cast<qsizetype>(request.size()));
    m_written = m_line.framing() == Framing::Mbap ? mbapRequest(asSpan(m_request), ++m_transactionId) : m_request;
    m_reply.clear();
    m_check = {};
    // What came before the request is published, not taken: the answer's
    // first byte wakes us, whenever the sensor sends it, and the rest is then
    // gathered in one hold (see onReceived).
    m_line.discardWaiting();
    m_answerBegun = !m_lateAnswerMayCome;
    m_busy = true;
    m_sentAt = monotonicNow();
    if (!m_line.write(m_written)) {
        m_line.endHold();
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
    m_line.endHold();
    m_timeout.stop();
    m_busy = false;
    m_lateAnswerMayCome = !replyComplete();
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
        result.kind = m_line.isOpen() ? OutcomeKind::NoReply : OutcomeKind::PortLost;
    disconnect(done);
    return result;
}

void ModbusMaster::heard(const QByteArray& bytes, qint64 at)
{
    m_lastHeardAt = at;
    if (!m_busy) {
        m_stray += bytes;
        return;
    }
    // After a request left unanswered, bytes that were on the wire before
    // this one was handed over cannot answer it: they are that request's
    // late answer, or noise.
    // Through a gateway the bytes come when the network hands them over, in
    // bursts: their time on the serial wire behind it tells nothing of when
    // they began, so what is read after the request was sent may answer it
    // (Modbus TCP's transaction id tells a late answer apart).
    const int wireBytes = m_line.isNetwork() ? 0 : static_cast<int>(bytes.size());
    const qint64 firstByteAt = at - frameTime(wireBytes, m_line.baudRate()).count();
    if (!m_answerBegun && firstByteAt < m_sentAt) {
        m_stray += bytes;
        return;
    }
    m_answerBegun = true;
    m_lastByteAt = at;
    m_reply += bytes;
    setAsideLateAnswer();
    m_check = judged(m_reply);
}

ReplyCheck ModbusMaster::judged(const QByteArray& reply) const
{
    return m_line.framing() == Framing::Mbap ? checkMbapReply(asSpan(m_written), asSpan(reply))
                                             : checkReply(asSpan(m_request), asSpan(reply));
}

// Through a gateway the late answer of the transaction before, given up
// without it, can come while this one is open (see lateAnswerLength). It
// answers nothing open, so it is stray, and what follows it is judged as this
// transaction's answer. On a serial line its timing tells it apart already.
void ModbusMaster::setAsideLateAnswer()
{
    if (!m_line.isNetwork())
        return;
    const int length = lateAnswerLength(m_line.framing(), m_lateWritten, m_written, m_reply);
    if (length == 0)
        return;
    m_stray += m_reply.left(length);
    m_reply.remove(0, length);
    m_lateWritten.clear();
}

bool ModbusMaster::replyComplete() const
{
    return m_check.verdict != ReplyVerdict::NoReply && m_check.verdict != ReplyVerdict::Partial;
}

void ModbusMaster::reportStray()
{
    if (!m_stray.isEmpty())
        emit strayArrived(std::exchange(m_stray, {}));
}

void ModbusMaster::onReceived()
{
    if (!m_busy) {
        reportStray();
        return;
    }
    // Acted on once the chunks are published to every listener: what else
    // waits is taken with them.
    m_line.collectWaiting();
    if (replyComplete()) {
        finish();
        reportStray();
        return;
    }
    reportStray();
    if (m_reply.isEmpty()) {
        // Stale bytes only: the answer has not begun. The rest of their run
        // is gathered two characters at a time rather than byte by byte.
        m_line.holdReception(frameTime(2, m_line.baudRate()));
        return;
    }
    // The answer has begun: the rest of the longest one asked for (or what
    // its header says is missing) comes at the line rate, gathered in one
    // hold, one character more so that the hold does not end just before
    // the last byte. An exception, shorter, is whole within it.
    const int longest = std::max({m_check.expected, expectedReplyLength(asSpan(m_request)), ExceptionLength});
    const int missing = std::max(1, longest - static_cast<int>(m_reply.size()));
    m_line.holdReception(frameTime(missing + 1, m_line.baudRate()));
}

void ModbusMaster::onLost()
{
    if (m_busy)
        finish(true);
}

void ModbusMaster::timedOut()
{
    if (!m_busy)
        return;
    m_line.collectWaiting(); // a reply that stopped short is still waiting in the line
    finish();
}

void ModbusMaster::finish(bool portLost)
{
    m_line.endHold();
    m_timeout.stop();
    m_busy = false;

    Outcome outcome;
    outcome.request = m_request;
    outcome.reply = m_reply;
    outcome.framing = m_line.framing();
    outcome.check = m_check;
    outcome.finishedAt = monotonicNow();
    outcome.waited = sinceNs(m_sentAt, outcome.finishedAt);
    outcome.kind = portLost ? OutcomeKind::PortLost : outcomeOf(m_check);
    m_lateAnswerMayCome = !replyComplete();
    if (!m_reply.isEmpty()) {
        const auto requestOnWire = frameTime(static_cast<int>(m_request.size()), m_line.baudRate());
        outcome.responseTime = sinceNs(m_sentAt + requestOnWire.count(), m_lastByteAt);
    }
    emit finished(outcome);
}

} // namespace kv

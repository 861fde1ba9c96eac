#include "session/traffic_recorder.h"

#include "line/line.h"
#include "protocol/kv9240b/sensor_reply.h"
#include "protocol/modbus/frame.h"
#include "protocol/modbus/wire_timing.h"
#include "session/late_answer.h"

#include <QDateTime>

#include <algorithm>

namespace kv {

namespace {

FrameVerdict verdictOf(const ReplyCheck& check)
{
    switch (check.verdict) {
    case ReplyVerdict::Ok:
        return FrameVerdict::Ok;
    case ReplyVerdict::Partial:
        return FrameVerdict::Partial;
    case ReplyVerdict::BadCrc:
        return FrameVerdict::BadCrc;
    case ReplyVerdict::Exception:
        return FrameVerdict::Exception;
    case ReplyVerdict::Unexpected:
        return FrameVerdict::Unexpected;
    case ReplyVerdict::NoReply:
        break;
    }
    return FrameVerdict::NoReply;
}

// How long after the next request went out a late answer, begun before it,
// may take beyond its own time on the wire to be read.
constexpr std::chrono::milliseconds LateAnswerReadWithin{50};

qint64 wallClockOf(qint64 at)
{
    return QDateTime::currentMSecsSinceEpoch() - (monotonicNow() - at) / 1'000'000;
}

} // namespace

TrafficRecorder::TrafficRecorder(QObject* parent)
    : QObject(parent)
{
    m_silence.setSingleShot(true);
    m_noReply.setSingleShot(true);
    m_lateEnds.setSingleShot(true);
    connect(&m_lateEnds, &QTimer::timeout, this, [this] { settle(monotonicNow()); });
    connect(&m_silence, &QTimer::timeout, this, [this] { settle(monotonicNow()); });
    connect(&m_noReply, &QTimer::timeout, this, [this] { settle(monotonicNow()); });
}

void TrafficRecorder::attach(Line& line)
{
    // Read as each chunk comes, not once: a line may change what it carries
    // (the window's line switches between its serial port and a gateway),
    // and the log records several lines, one at a time.
    auto shape = [this, &line] {
        m_framing = line.framing();
        m_network = line.isNetwork();
    };
    shape();
    connect(&line, &Line::chunkWritten, this, [this, &line, shape](const QByteArray& bytes, qint64 at) {
        shape();
        written(bytes, at, line.baudRate());
    });
    connect(&line, &Line::chunkArrived, this, [this, &line, shape](const QByteArray& bytes, qint64 at) {
        shape();
        arrived(bytes, at, line.baudRate());
    });
    connect(&line, &Line::lost, this, [this, shape] {
        shape();
        portLost(monotonicNow());
    });
}

void TrafficRecorder::setCapacity(qsizetype capacity)
{
    m_capacity = std::max<qsizetype>(1, capacity);
    dropDownTo(m_capacity);
}

void TrafficRecorder::dropDownTo(qsizetype keep)
{
    const qsizetype excess = size() - keep;
    if (excess <= 0)
        return;
    m_frames.erase(m_frames.begin(), m_frames.begin() + excess);
    m_dropped += static_cast<std::uint64_t>(excess);
    emit framesDropped(excess);
}

void TrafficRecorder::clear()
{
    m_frames.clear();
    m_dropped = 0;
    emit cleared();
}

void TrafficRecorder::resetStatistics()
{
    m_statistics = {};
    emit statisticsChanged();
}

void TrafficRecorder::written(const QByteArray& bytes, qint64 at, int baudRate)
{
    endPendingFrame();
    // Superseded twice: an answer now would be the next request's.
    if (m_overdue)
        stateNoReply(*m_overdue, at, true);
    if (m_request && !m_request->answered) {
        m_overdue = m_request; // its answer may still come, late
        m_overdue->supersededAt = at;
    }
    TrafficFrame frame;
    frame.direction = Direction::Sent;
    frame.verdict = FrameVerdict::Request;
    frame.at = at;
    frame.bytes = bytes;
    frame.baudRate = baudRate;
    m_request = OpenRequest{m_nextNumber, bytes, at, baudRate, false};
    ++m_statistics.requests;
    push(std::move(frame));
    emit statisticsChanged();
    armTimers();
}

void TrafficRecorder::arrived(const QByteArray& bytes, qint64 at, int baudRate)
{
    if (bytes.isEmpty())
        return;
    // A chunk is stamped when it was taken; its first byte came a chunk's
    // length on the wire earlier at the most.
    // Through a gateway bytes come in bursts when the network hands them over,
    // not at the line rate: the chunk began when it was read.
    const int wireBytes = m_network ? 0 : static_cast<int>(bytes.size());
    const qint64 firstByteAt = at - frameTime(wireBytes, baudRate).count();
    if (!m_pending.isEmpty() && !answering() && firstByteAt - m_pendingAt > silentInterval(m_pendingBaud).count())
        endPendingFrame();
    if (m_pending.isEmpty() && m_overdue) {
        // A frame begun before the next request was handed over cannot be
        // that request's answer: it is the late answer of the one before.
        // Through a gateway the time tells nothing: the whole frame does
        // (takeWholeAnswer).
        if (!beganAfter(m_overdue->supersededAt, at, wireBytes, baudRate))
            m_pendingLate = true;
        else if (!m_network)
            settleOverdue(at, true);
    }
    m_pendingBaud = baudRate;
    for (qsizetype taken = 0; taken < bytes.size();) {
        const qsizetype room = LongestFrame - m_pending.size();
        m_pending += bytes.mid(taken, room);
        taken += room;
        m_pendingAt = at;
        takeWholeAnswer();
        if (m_pending.size() >= LongestFrame)
            endPendingFrame();
    }
    armTimers();
}

void TrafficRecorder::portLost(qint64 at)
{
    endPendingFrame();
    if (m_overdue)
        stateNoReply(*m_overdue, at, true);
    TrafficFrame frame;
    frame.direction = Direction::Received;
    frame.verdict = FrameVerdict::PortLost;
    frame.at = at;
    frame.network = m_network;
    if (m_request && !m_request->answered) {
        frame.request = m_request->bytes;
        frame.requestNumber = m_request->number;
        frame.waited = at - m_request->at;
        m_request->answered = true;
    }
    frame.baudRate = m_pendingBaud;
    ++m_statistics.portLost;
    push(std::move(frame));
    emit statisticsChanged();
    armTimers();
}

bool TrafficRecorder::answering() const
{
    return !m_pending.isEmpty() && (m_pendingLate || (m_request && !m_request->answered));
}

TrafficRecorder::OpenRequest* TrafficRecorder::answered()
{
    if (m_pendingLate)
        return m_overdue ? &*m_overdue : nullptr;
    return m_request && !m_request->answered ? &*m_request : nullptr;
}

qint64 TrafficRecorder::overdueEndsAt() const
{
    // Through a gateway a late answer comes whenever the network hands it
    // over: as long as the request after it may still be answered.
    if (m_network)
        return m_overdue->supersededAt + std::chrono::nanoseconds(NoReplyAfter).count();
    const int longest = std::max(expectedReplyLength(asSpan(m_overdue->bytes)), 5);
    return m_overdue->supersededAt + frameTime(longest, m_overdue->baudRate).count()
        + std::chrono::nanoseconds(LateAnswerReadWithin).count();
}

void TrafficRecorder::settleOverdue(qint64 now, bool nextAnswerBegun)
{
    if (m_overdue && !m_pendingLate && (nextAnswerBegun || now >= overdueEndsAt()))
        stateNoReply(*m_overdue, now, true);
}

std::chrono::nanoseconds TrafficRecorder::pendingFrameEndsAfter() const
{
    if (!answering())
        return silentInterval(m_pendingBaud);
    // The rest of an answer may be held back in the serial driver until the
    // port gives up waiting for it (its wire time and 100 ms): wait longer.
    constexpr std::chrono::milliseconds HeldBack{150};
    const OpenRequest& request = m_pendingLate ? *m_overdue : *m_request;
    const int expected = std::max(expectedReplyLength(asSpan(request.bytes)), 5);
    const int missing = std::max(0, expected - static_cast<int>(m_pending.size()));
    return frameTime(missing, m_pendingBaud) + HeldBack;
}

void TrafficRecorder::settle(qint64 now)
{
    if (!m_pending.isEmpty() && now - m_pendingAt >= pendingFrameEndsAfter().count())
        endPendingFrame();
    const qint64 noReplyAfter = std::chrono::nanoseconds(NoReplyAfter).count();
    settleOverdue(now, false);
    if (m_request && !m_request->answered && (m_pending.isEmpty() || m_pendingLate)
        && now - m_request->at >= noReplyAfter)
        stateNoReply(*m_request, m_request->at + noReplyAfter, false);
    armTimers();
}

void TrafficRecorder::close(qint64 now)
{
    endPendingFrame();
    if (m_overdue)
        stateNoReply(*m_overdue, now, true);
    if (m_request && !m_request->answered)
        stateNoReply(*m_request, now, false);
    armTimers();
}

ReplyCheck TrafficRecorder::judge(const QByteArray& request, const QByteArray& reply) const
{
    return m_framing == Framing::Mbap ? checkMbapReply(asSpan(request), asSpan(reply))
                                      : checkReply(asSpan(request), asSpan(reply));
}

void TrafficRecorder::takeWholeAnswer()
{
    if (m_network && m_overdue && !m_pendingLate && m_request
        && lateAnswerLength(m_framing, m_overdue->bytes, m_request->bytes, m_pending) > 0)
        m_pendingLate = true;
    OpenRequest* request = answered();
    if (!request || m_pending.isEmpty())
        return;
    const ReplyCheck check = judge(request->bytes, m_pending);
    if (!check.whole)
        return;
    const QByteArray whole = m_pending.left(check.received);
    m_pending.remove(0, check.received);
    const bool late = m_pendingLate;
    answer(*request, whole, check);
    if (late)
        takeWholeAnswer(); // the open request's answer may have come in the same burst
}

void TrafficRecorder::endPendingFrame()
{
    m_silence.stop();
    if (m_pending.isEmpty())
        return;
    const QByteArray bytes = std::exchange(m_pending, {});
    if (OpenRequest* request = answered()) {
        answer(*request, bytes, judge(request->bytes, bytes));
        return;
    }
    TrafficFrame frame;
    frame.direction = Direction::Received;
    frame.verdict = FrameVerdict::Unsolicited;
    frame.at = m_pendingAt;
    frame.bytes = bytes;
    frame.baudRate = m_pendingBaud;
    ++m_statistics.unsolicited;
    push(std::move(frame));
    emit statisticsChanged();
}

void TrafficRecorder::answer(OpenRequest& request, const QByteArray& bytes, const ReplyCheck& check)
{
    const bool late = m_overdue && &request == &*m_overdue;
    // The open request's answer came first: the one before it is not answered.
    if (!late && m_overdue && !m_pendingLate)
        stateNoReply(*m_overdue, m_pendingAt, true);
    TrafficFrame frame;
    frame.direction = Direction::Received;
    frame.verdict = late ? FrameVerdict::Late : verdictOf(check);
    frame.at = m_pendingAt;
    frame.bytes = bytes;
    frame.request = request.bytes;
    frame.requestNumber = request.number;
    frame.check = check;
    frame.baudRate = m_pendingBaud;
    request.answered = true;
    const qint64 requestAt = request.at;
    const int requestBaud = request.baudRate;
    if (late) {
        m_overdue.reset();
        m_pendingLate = false;
    }
    count(frame.verdict);
    if (frame.verdict == FrameVerdict::Ok) {
        // From the request's last byte leaving to the answer's last byte arriving.
        const qint64 requestGone = requestAt + frameTime(static_cast<int>(frame.request.size()), requestBaud).count();
        m_statistics.addResponseTime(std::chrono::nanoseconds(std::max<qint64>(0, frame.at - requestGone)));
    }
    push(std::move(frame));
    emit statisticsChanged();
}

void TrafficRecorder::stateNoReply(OpenRequest& request, qint64 at, bool beforeNextRequest)
{
    TrafficFrame frame;
    frame.direction = Direction::Received;
    frame.verdict = FrameVerdict::NoReply;
    frame.at = at;
    frame.request = request.bytes;
    frame.requestNumber = request.number;
    frame.waited = (request.supersededAt != 0 ? request.supersededAt : at) - request.at;
    frame.beforeNextRequest = beforeNextRequest;
    frame.baudRate = request.baudRate;
    request.answered = true;
    if (m_overdue && &request == &*m_overdue) {
        m_overdue.reset();
        m_pendingLate = false;
    }
    count(FrameVerdict::NoReply);
    push(std::move(frame));
    emit statisticsChanged();
}

void TrafficRecorder::count(FrameVerdict verdict)
{
    switch (verdict) {
    case FrameVerdict::Ok:
        ++m_statistics.ok;
        break;
    case FrameVerdict::BadCrc:
        ++m_statistics.badCrc;
        break;
    case FrameVerdict::Exception:
        ++m_statistics.exceptions;
        break;
    case FrameVerdict::Partial:
        ++m_statistics.partial;
        break;
    case FrameVerdict::Unexpected:
        ++m_statistics.unexpected;
        break;
    case FrameVerdict::Late:
        ++m_statistics.late;
        break;
    case FrameVerdict::NoReply:
        ++m_statistics.noReply;
        break;
    case FrameVerdict::Unsolicited:
        ++m_statistics.unsolicited;
        break;
    case FrameVerdict::PortLost:
        ++m_statistics.portLost;
        break;
    case FrameVerdict::Request:
        break;
    }
}

void TrafficRecorder::push(TrafficFrame frame)
{
    frame.number = m_nextNumber++;
    frame.wallMs = wallClockOf(frame.at);
    frame.sincePrevious = m_lastAt == 0 ? 0 : frame.at - m_lastAt;
    m_lastAt = frame.at;
    m_frames.push_back(std::move(frame));
    emit framesAdded(1);
    if (size() > m_capacity + m_capacity / 100)
        dropDownTo(m_capacity);
}

void TrafficRecorder::armTimers()
{
    if (m_pending.isEmpty())
        m_silence.stop();
    else
        m_silence.start(std::max(
            std::chrono::milliseconds(1), std::chrono::ceil<std::chrono::milliseconds>(pendingFrameEndsAfter())));
    if (m_request && !m_request->answered) {
        if (!m_noReply.isActive())
            m_noReply.start(NoReplyAfter);
    } else {
        m_noReply.stop();
    }
    if (m_overdue && !m_pendingLate) {
        const auto left = std::chrono::nanoseconds(overdueEndsAt() - monotonicNow());
        m_lateEnds.start(std::max(std::chrono::milliseconds(1), std::chrono::ceil<std::chrono::milliseconds>(left)));
    } else {
        m_lateEnds.stop();
    }
}

} // namespace kv

#pragma once

#include "line/line.h"
#include "session/traffic_frame.h"
#include "session/traffic_statistics.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <optional>

namespace kv {

// Turns the chunks that cross a serial line into the frames of a log: bytes
// that arrive form one frame until the line is silent for 3.5 characters (or
// the frame the request asked for is whole; an answer begun is held open
// while the serial driver may still hold its rest); each answer is paired with its
// request and judged (an answer whose first byte came before a request was
// handed over cannot be its answer: one that comes after the next request
// went out is late for the request it answers; through a gateway, where the
// time tells nothing, its content does, see lateAnswerLength); a request nobody answers is
// stated as such once its answer can no longer come, late or not, or after a
// second of silence; bytes with no request open are unsolicited. Keeps the newest frames up to its capacity (older ones
// are let go a hundredth of the capacity at a time, so a view of a full log is trimmed now and then rather than with
// every frame), and running statistics. Works on any line, the window's or a transaction's.
class TrafficRecorder : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype DefaultCapacity = 100'000;
    // The longest run of bytes kept as one frame: a Modbus RTU frame has at
    // most 256 bytes, so more without a pause is garbage cut into pieces.
    static constexpr qsizetype LongestFrame = 256;
    static constexpr std::chrono::milliseconds NoReplyAfter{1000};

    explicit TrafficRecorder(QObject* parent = nullptr);

    // Records what crosses this line from now on, judging the answers in the
    // framing (RTU, or Modbus TCP through such a gateway) the line has when
    // they cross it.
    void attach(Line& line);

    // Keeps at least the newest `capacity` frames and at most a hundredth more.
    void setCapacity(qsizetype capacity);
    qsizetype capacity() const { return m_capacity; }

    qsizetype size() const { return static_cast<qsizetype>(m_frames.size()); }
    const TrafficFrame& at(qsizetype row) const { return m_frames[static_cast<std::size_t>(row)]; }
    // Frames that fell off the top since the start or the last clear().
    std::uint64_t dropped() const { return m_dropped; }
    // Empties the log; the statistics stay. What follows is the whole log again.
    void clear();

    const TrafficStatistics& statistics() const { return m_statistics; }
    void resetStatistics();

    // What the port reports, also callable directly (tests, fuzzing).
    void written(const QByteArray& bytes, qint64 at, int baudRate);
    void arrived(const QByteArray& bytes, qint64 at, int baudRate);
    void portLost(qint64 at);
    // States whatever the silence since `now` has settled: a frame ended, no reply.
    void settle(qint64 now);
    // The line is let go of at `now`: bytes still arriving end as a frame and a
    // request still open is stated unanswered, so the log is complete.
    void close(qint64 now);

signals:
    void framesAdded(qsizetype count);   // appended at the end
    void framesDropped(qsizetype count); // removed from the top to keep the capacity
    void cleared();
    void statisticsChanged();

private:
    ReplyCheck judge(const QByteArray& request, const QByteArray& reply) const;

    struct OpenRequest {
        std::uint64_t number = 0;
        QByteArray bytes;
        qint64 at = 0;
        int baudRate = 0;
        bool answered = false;
        qint64 supersededAt = 0; // when the next request was handed over; 0: none yet
    };

    void push(TrafficFrame frame);
    void dropDownTo(qsizetype size);
    void endPendingFrame();
    void answer(OpenRequest& request, const QByteArray& bytes, const ReplyCheck& check);
    void stateNoReply(OpenRequest& request, qint64 at, bool beforeNextRequest);
    // The request the frame being received answers, if any.
    OpenRequest* answered();
    // A superseded request whose answer can no longer come is stated unanswered.
    void settleOverdue(qint64 now, bool nextAnswerBegun);
    qint64 overdueEndsAt() const;
    void takeWholeAnswer();
    void count(FrameVerdict verdict);
    void armTimers();
    // A request is open and the first bytes of its answer are in.
    bool answering() const;
    // The silence after which the frame being received counts as ended.
    std::chrono::nanoseconds pendingFrameEndsAfter() const;

    qsizetype m_capacity = DefaultCapacity;
    std::deque<TrafficFrame> m_frames;
    std::uint64_t m_nextNumber = 1;
    Framing m_framing = Framing::Rtu;
    bool m_network = false; // bytes come through a gateway, in bursts
    std::uint64_t m_dropped = 0;
    qint64 m_lastAt = 0;
    TrafficStatistics m_statistics;
    std::optional<OpenRequest> m_request;
    std::optional<OpenRequest> m_overdue; // superseded unanswered: its answer may still come, late
    bool m_pendingLate = false;           // the frame being received is m_overdue's answer
    QByteArray m_pending;                 // bytes of a frame still arriving
    qint64 m_pendingAt = 0;               // when its last chunk came
    int m_pendingBaud = 9600;
    QTimer m_silence;  // the frame being received has ended
    QTimer m_noReply;  // a second without an answer
    QTimer m_lateEnds; // a superseded request's answer can no longer come
};

} // namespace kv

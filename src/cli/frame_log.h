#pragma once

#include "session/traffic_frame.h"
#include "session/traffic_recorder.h"

#include <QObject>
#include <QString>

namespace kv {
class Line;
}

namespace kv::cli {

// What a frame of the traffic log is, in the words of the records' status:
// "request", "ok", "bad-crc", "exception-04 (server device failure)",
// "partial (4 of 15 bytes)", "unexpected (another station)",
// "no-reply (waited 129 ms)", "unsolicited", "port-lost".
QString frameVerdictWords(const TrafficFrame& frame);

// The frame as one line for --verbose: time, direction, hex bytes, verdict.
// "2026-12-07T14:03:10.123+01:00 TX 01 03 00 00 00 05 85 C9  request"
QString frameLogLine(const TrafficFrame& frame);

// Writes every frame that crosses the port to standard error as it is judged.
class FrameLog : public QObject {
    Q_OBJECT

public:
    explicit FrameLog(kv::Line& line, QObject* parent = nullptr);
    // The line is let go of: what is still open is written too.
    void close();

private:
    TrafficRecorder m_recorder;
};

} // namespace kv::cli

#include "cli/frame_log.h"

#include "cli/record_sink.h"
#include "line/line.h"
#include "protocol/modbus/frame.h"
#include "protocol/modbus/hex_text.h"
#include "session/record_format.h"

#include <QDateTime>

namespace kv::cli {

QString frameVerdictWords(const TrafficFrame& frame)
{
    switch (frame.verdict) {
    case FrameVerdict::Request:
        return QStringLiteral("request");
    case FrameVerdict::Ok:
        return QStringLiteral("ok");
    case FrameVerdict::BadCrc:
        return QStringLiteral("bad-crc");
    case FrameVerdict::Exception: {
        const QString code = statusCode(OutcomeKind::Exception, frame.check.exceptionCode);
        const QString name = exceptionNameInEnglish(frame.check.exceptionCode);
        return name.isEmpty() ? code : QStringLiteral("%1 (%2)").arg(code, name);
    }
    case FrameVerdict::Partial:
        return QStringLiteral("partial (%1 of %2 bytes)").arg(frame.bytes.size()).arg(frame.check.expected);
    case FrameVerdict::Unexpected:
        switch (frame.check.mismatch) {
        case Mismatch::Station:
            return QStringLiteral("unexpected (another station)");
        case Mismatch::Function:
            return QStringLiteral("unexpected (another function)");
        case Mismatch::Transaction:
            return QStringLiteral("unexpected (another transaction)");
        default:
            return QStringLiteral("unexpected (another length)");
        }
    case FrameVerdict::Late:
        return QStringLiteral("late (came after the next request)");
    case FrameVerdict::NoReply:
        return QStringLiteral("no-reply (waited %1 ms)").arg(frame.waited / 1'000'000);
    case FrameVerdict::Unsolicited:
        return QStringLiteral("unsolicited");
    case FrameVerdict::PortLost:
        return QStringLiteral("port-lost");
    }
    return {};
}

QString frameLogLine(const TrafficFrame& frame)
{
    const QString time = isoTime(QDateTime::fromMSecsSinceEpoch(frame.wallMs));
    const QString direction = frame.direction == Direction::Sent ? QStringLiteral("TX") : QStringLiteral("RX");
    const QString hex = frame.bytes.isEmpty() ? QStringLiteral("-") : sentFrameText(asSpan(frame.bytes)).trimmed();
    return QStringLiteral("%1 %2 %3  %4").arg(time, direction, hex, frameVerdictWords(frame));
}

FrameLog::FrameLog(kv::Line& line, QObject* parent)
    : QObject(parent)
{
    // Each frame is written as it comes: the log need not keep many.
    m_recorder.setCapacity(16);
    m_recorder.attach(line);
    connect(&m_recorder, &TrafficRecorder::framesAdded, this, [this](qsizetype count) {
        for (qsizetype row = m_recorder.size() - count; row < m_recorder.size(); ++row)
            writeToStandardError(frameLogLine(m_recorder.at(row)));
    });
}

void FrameLog::close()
{
    m_recorder.close(monotonicNow());
}

} // namespace kv::cli

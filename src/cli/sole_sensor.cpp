#include "cli/sole_sensor.h"

#include "cli/line.h"
#include "cli/stop_signals.h"
#include "protocol/kv9240b/request_frames.h"
#include "session/reading.h"
#include "session/record_format.h"

#include <QDateTime>

namespace kv::cli {

namespace {

constexpr int GarbledRetries = 2;

} // namespace

bool isGarbled(const Outcome& outcome)
{
    return outcome.kind == OutcomeKind::BadCrc || outcome.kind == OutcomeKind::Partial
        || outcome.kind == OutcomeKind::Unexpected;
}

Outcome askWhoAnswers(Line& line, StopSignals& stops)
{
    const Frame request = withCrc(addressReadHead());
    Outcome answer;
    for (int attempt = 0; attempt <= GarbledRetries; ++attempt) {
        line.waitForQuiet();
        answer = line.master.exchange(request);
        if (!isGarbled(answer) || stops.requestedNow())
            break;
    }
    return answer;
}

QString whyNotWrite(const Outcome& answer, std::optional<std::uint8_t> meant, std::chrono::milliseconds timeout)
{
    const QString target = meant ? QStringLiteral("station %1").arg(*meant) : QStringLiteral("the sensor to set");
    if (isGarbled(answer)) {
        return QStringLiteral("the answers to station 250 collide (%1): several sensors are on the line, and a "
                              "write through station 250 reaches every one of them. Nothing written: disconnect "
                              "all but %2, or give --all to set every sensor alike")
            .arg(statusCode(answer), target);
    }
    if (!answer.ok()) {
        const Reading failed = readingOf(answer, AnyStation, QDateTime::currentDateTime(), timeout);
        return QStringLiteral("station 250: %1. Nothing written").arg(failureText(failed));
    }
    const auto answered = static_cast<std::uint8_t>(answer.frame().at(0));
    if (meant && answered != *meant) {
        return QStringLiteral("station 250 is answered by station %1, not by station %2: a write through station "
                              "250 would set station %1. Nothing written: connect station %2 alone, or give -s %1")
            .arg(answered)
            .arg(*meant);
    }
    return {};
}

} // namespace kv::cli

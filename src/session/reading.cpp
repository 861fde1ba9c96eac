#include "session/reading.h"

#include "protocol/modbus/frame.h"

#include <ctime>

namespace kv {

QDateTime readingTimeNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    return QDateTime::fromMSecsSinceEpoch(
        qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000, Qt::OffsetFromUTC, static_cast<int>(local.tm_gmtoff));
}

Reading readingOf(
    const Outcome& outcome, std::uint8_t station, const QDateTime& time, std::chrono::milliseconds timeout)
{
    Reading reading;
    reading.time = time;
    reading.station = station;
    reading.status = outcome.kind;
    reading.check = outcome.check;
    reading.responseTime = outcome.responseTime;
    reading.timeout = timeout;
    if (outcome.ok() && outcome.request.size() >= 6 && (outcome.request[1] == 3 || outcome.request[1] == 4)) {
        const auto request = asSpan(outcome.request);
        const int start = request[2] << 8 | request[3];
        // Register r is the quantity of row r: read from start 0 they line up.
        reading.values = measurementFromRegisters(station, start, replyRegisters(asSpan(outcome.frame())));
    }
    return reading;
}

} // namespace kv

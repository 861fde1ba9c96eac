#include "session/reading.h"

#include "protocol/modbus/frame.h"

namespace kv {

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

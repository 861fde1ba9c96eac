#pragma once

#include "session/reading.h"
#include "session/traffic_statistics.h"

#include <QString>

#include <map>

namespace kv {

// Counts the readings of a run for its summary: how many, how many were ok,
// each kind of failure, and the response times of the good ones.
class ReadingTally {
public:
    void add(const Reading& reading);

    std::uint64_t readings() const { return m_readings; }
    std::uint64_t ok() const { return m_ok; }
    bool allOk() const { return m_ok == m_readings; }

    // "12 readings, 11 ok, 1 no-reply, loss 8.3 %, response time min 15.9 / median 16.0 / max 16.4 ms"
    QString summary() const;

private:
    std::uint64_t m_readings = 0;
    std::uint64_t m_ok = 0;
    std::map<QString, std::uint64_t> m_failures; // by status: "bad-crc", "exception-04", ...
    TrafficStatistics m_times;                   // only its response times are used
};

} // namespace kv

#pragma once

#include "session/reading.h"
#include "session/sensor_readings.h"

#include <chrono>
#include <deque>
#include <optional>

namespace kv {

// Every sound reading of the session, for the chart and its figures, kept
// for each sensor on its own. Readings are kept in the order they come; one
// stamped earlier than the one before (the clock was set back) is kept at the
// time of the one before, so the history stays in time order.
//
// A reading is joined to the sensor's reading before it only when nothing
// was missed between them: the sensor was being polled, no other sensor was
// read meanwhile, no exchange failed (interrupt()), and it came within three
// polling periods (and half a second for the exchange itself). A reading taken
// on its own, without polling, stands alone.
class ReadingHistory {
public:
    // Keeps what a sound reading of the sensor at `port` says of temperature
    // and humidity; a failed reading is not kept. `pollingPeriod` is the
    // period of the polling that took it, zero for a reading taken on its own.
    // Returns whether the reading was kept.
    bool append(const Reading& reading, const QString& port, std::chrono::milliseconds pollingPeriod);
    // An exchange failed or the line went away: the next reading starts a new run.
    void interrupt();

    // How many sound readings were kept, of all sensors.
    qsizetype size() const { return m_readings; }
    bool isEmpty() const { return m_readings == 0; }
    // When the first and the newest of them were taken (milliseconds since the epoch).
    std::optional<qint64> firstTimeMs() const;
    std::optional<qint64> lastTimeMs() const;

    // Every sensor read, in the order each was first read. Elements never move.
    const std::deque<SensorReadings>& sensors() const { return m_sensors; }
    // The sensor's readings; null when it was never read.
    const SensorReadings* sensor(const SensorId& id) const;
    // The sensor of the newest reading; null while there is none.
    const SensorReadings* newestSensor() const { return m_newest; }

private:
    std::deque<SensorReadings> m_sensors;
    const SensorReadings* m_newest = nullptr;
    bool m_interrupted = false;
    qsizetype m_readings = 0;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
};

} // namespace kv

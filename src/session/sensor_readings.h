#pragma once

#include "protocol/kv9240b/measurement.h"
#include "session/value_track.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

enum class Quantity { Temperature, Humidity };

// One sensor: the port it answers on ("COM2") and its station.
struct SensorId {
    QString port;
    std::uint8_t station = 0;

    friend bool operator==(const SensorId&, const SensorId&) = default;
};

// What the readings of one quantity in a span of time say. Values are in
// hundredths, like the measurement they came from; the rest is meaningless
// while count is 0.
struct SpanStatistics {
    qsizetype count = 0;
    int last = 0;        // the newest value in the span
    qint64 lastAtMs = 0; // and when it was taken, in milliseconds since the epoch
    int minimum = 0;
    int maximum = 0;
    double mean = 0;
};

// A point to draw: a time in milliseconds since the epoch and a value in
// hundredths, and whether it is joined to the point before it (no readings
// were missed between them).
struct TimedValue {
    qint64 timeMs = 0;
    int value = 0;
    bool startsRun = false;

    friend bool operator==(const TimedValue&, const TimedValue&) = default;
};

// The sound readings of one sensor, in the order they came: its temperature
// and humidity with their times, about 24 bytes a reading. Readings taken
// without a miss in between form a run; a reading that starts a run is not
// joined to the one before it.
class SensorReadings {
public:
    explicit SensorReadings(SensorId id)
        : m_id(std::move(id))
    {
    }

    const SensorId& id() const { return m_id; }

    // Keeps the measured temperature and humidity, at timeMs (not earlier
    // than the reading before).
    void append(qint64 timeMs, const Measurement& values, bool startsRun);

    qsizetype size() const { return m_readings; }
    std::optional<qint64> lastTimeMs() const;

    const ValueTrack& track(Quantity quantity) const;

    // The readings of a quantity taken from fromMs to toMs, both included.
    SpanStatistics statistics(Quantity quantity, qint64 fromMs, qint64 toMs) const;

    // The quantity from fromMs to toMs, drawn `columns` wide: every value when
    // there are few, else for each column its lowest and highest value (all a
    // column of pixels can show), in time order. One value on either side of
    // the span comes along, so a line drawn through them runs to its edges.
    // A point after a gap in the readings starts a run.
    std::vector<TimedValue> outline(Quantity quantity, qint64 fromMs, qint64 toMs, int columns) const;

private:
    SensorId m_id;
    ValueTrack m_temperature;
    ValueTrack m_humidity;
    qsizetype m_readings = 0;
    qint64 m_lastMs = 0;
};

} // namespace kv

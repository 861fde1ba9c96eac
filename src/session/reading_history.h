#pragma once

#include "session/reading.h"
#include "session/value_track.h"

#include <optional>
#include <vector>

namespace kv {

enum class Quantity { Temperature, Humidity };

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

// A point to draw: a time in milliseconds since the epoch and a value in hundredths.
struct TimedValue {
    qint64 timeMs = 0;
    int value = 0;

    friend bool operator==(const TimedValue&, const TimedValue&) = default;
};

// Every sound reading of the session, for the chart and its figures: the
// temperature and the humidity with their times, about 24 bytes a reading.
// Readings are kept in the order they come; one stamped earlier than the one
// before (the clock was set back) is kept at the time of the one before, so
// the history stays in time order.
class ReadingHistory {
public:
    // Keeps what a sound reading says of temperature and humidity; a failed
    // reading is not kept. Returns whether the reading was kept.
    bool append(const Reading& reading);

    // How many sound readings were kept.
    qsizetype size() const { return m_readings; }
    bool isEmpty() const { return m_readings == 0; }
    // When the first and the newest of them were taken (milliseconds since the epoch).
    std::optional<qint64> firstTimeMs() const;
    std::optional<qint64> lastTimeMs() const;

    const ValueTrack& track(Quantity quantity) const;

    // The readings of a quantity taken from fromMs to toMs, both included.
    SpanStatistics statistics(Quantity quantity, qint64 fromMs, qint64 toMs) const;

    // The quantity from fromMs to toMs, drawn `columns` wide: every value when
    // there are few, else for each column its lowest and highest value (all a
    // column of pixels can show), in time order. One value on either side of
    // the span comes along, so a line drawn through them runs to its edges.
    std::vector<TimedValue> outline(Quantity quantity, qint64 fromMs, qint64 toMs, int columns) const;

private:
    ValueTrack m_temperature;
    ValueTrack m_humidity;
    qsizetype m_readings = 0;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
};

} // namespace kv

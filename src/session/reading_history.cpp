#include "session/reading_history.h"

#include <algorithm>

namespace kv {

namespace {

// What a polled exchange may take beyond its period before the reading
// counts as missed: the exchange itself, and a busy machine's late timer.
constexpr std::chrono::milliseconds ExchangeAllowance{500};

bool joinsPrevious(qint64 sinceMs, std::chrono::milliseconds pollingPeriod)
{
    return pollingPeriod.count() > 0 && sinceMs <= 3 * pollingPeriod.count() + ExchangeAllowance.count();
}

} // namespace

bool ReadingHistory::append(const Reading& reading, const QString& port, std::chrono::milliseconds pollingPeriod)
{
    if (!reading.ok() || !reading.time.isValid())
        return false;
    qint64 timeMs = reading.time.toMSecsSinceEpoch();
    if (m_readings > 0)
        timeMs = std::max(timeMs, m_lastMs);

    const SensorId id{port, reading.station};
    auto found
        = std::find_if(m_sensors.begin(), m_sensors.end(), [&](const SensorReadings& s) { return s.id() == id; });
    SensorReadings* series = found == m_sensors.end() ? nullptr : &*found;
    if (!series)
        series = &m_sensors.emplace_back(id);
    const bool joined = series == m_newest && !m_interrupted
        && joinsPrevious(timeMs - series->lastTimeMs().value_or(timeMs), pollingPeriod);
    series->append(timeMs, reading.values, !joined);
    m_newest = series;
    m_interrupted = false;

    if (m_readings == 0)
        m_firstMs = timeMs;
    m_lastMs = timeMs;
    ++m_readings;
    return true;
}

void ReadingHistory::interrupt()
{
    m_interrupted = true;
}

std::optional<qint64> ReadingHistory::firstTimeMs() const
{
    return m_readings > 0 ? std::optional(m_firstMs) : std::nullopt;
}

std::optional<qint64> ReadingHistory::lastTimeMs() const
{
    return m_readings > 0 ? std::optional(m_lastMs) : std::nullopt;
}

const SensorReadings* ReadingHistory::sensor(const SensorId& id) const
{
    const auto found
        = std::find_if(m_sensors.begin(), m_sensors.end(), [&](const SensorReadings& s) { return s.id() == id; });
    return found == m_sensors.end() ? nullptr : &*found;
}

} // namespace kv

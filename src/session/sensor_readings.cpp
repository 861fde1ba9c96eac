#include "session/sensor_readings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kv {

void SensorReadings::append(qint64 timeMs, const Measurement& values, bool startsRun)
{
    if (values.temperature)
        m_temperature.append(timeMs, *values.temperature, startsRun);
    if (values.humidity)
        m_humidity.append(timeMs, *values.humidity, startsRun);
    m_lastMs = timeMs;
    ++m_readings;
}

std::optional<qint64> SensorReadings::lastTimeMs() const
{
    return m_readings > 0 ? std::optional(m_lastMs) : std::nullopt;
}

const ValueTrack& SensorReadings::track(Quantity quantity) const
{
    return quantity == Quantity::Temperature ? m_temperature : m_humidity;
}

SpanStatistics SensorReadings::statistics(Quantity quantity, qint64 fromMs, qint64 toMs) const
{
    const ValueTrack& values = track(quantity);
    const auto [first, end] = values.indicesBetween(fromMs, toMs);
    SpanStatistics figures;
    if (first == end)
        return figures;
    const ValueSummary summary = values.summary(first, end);
    figures.count = summary.count;
    figures.last = values.valueAt(end - 1);
    figures.lastAtMs = values.timeAt(end - 1);
    figures.minimum = summary.minimum;
    figures.maximum = summary.maximum;
    figures.mean = static_cast<double>(summary.sum) / static_cast<double>(summary.count);
    return figures;
}

std::vector<TimedValue> SensorReadings::outline(Quantity quantity, qint64 fromMs, qint64 toMs, int columns) const
{
    const ValueTrack& values = track(quantity);
    const auto [first, end] = values.indicesBetween(fromMs, toMs);
    columns = std::max(columns, 1);
    std::vector<TimedValue> points;
    // The index of the value the last point stands for: the next point starts
    // a run when a gap lies between the two.
    qsizetype lastIndex = -1;
    auto push = [&](qsizetype index, int value) {
        const bool startsRun = values.runStartsIn(lastIndex < 0 ? index - 1 : lastIndex, index);
        points.push_back({values.timeAt(index), value, startsRun});
        lastIndex = index;
    };
    auto take = [&](qsizetype index) { push(index, values.valueAt(index)); };

    if (first > 0)
        take(first - 1);
    if (end - first <= 2 * static_cast<qsizetype>(columns)) {
        for (qsizetype index = first; index < end; ++index)
            take(index);
    } else {
        const double columnMs = static_cast<double>(toMs - fromMs + 1) / columns;
        for (int column = 0; column < columns; ++column) {
            const qint64 columnFrom = fromMs + static_cast<qint64>(std::floor(columnMs * column));
            const qint64 columnTo
                = column + 1 == columns ? toMs : fromMs + static_cast<qint64>(std::floor(columnMs * (column + 1))) - 1;
            const auto [low, high] = values.indicesBetween(columnFrom, columnTo);
            if (high - low <= 2) {
                for (qsizetype index = low; index < high; ++index)
                    take(index);
                continue;
            }
            // The column's extremes, the one nearer to the line coming in
            // first, so the line does not cross the column twice.
            const ValueSummary summary = values.summary(low, high);
            int firstValue = summary.minimum;
            int secondValue = summary.maximum;
            if (!points.empty()
                && std::abs(points.back().value - summary.maximum) < std::abs(points.back().value - summary.minimum))
                std::swap(firstValue, secondValue);
            push(low, firstValue);
            push(high - 1, secondValue);
        }
    }
    if (end < values.size())
        take(end);
    return points;
}

} // namespace kv

#include "session/sensor_metrics.h"

#include <functional>

namespace kv {

namespace {

QString labelsOf(const MetricSensor& sensor)
{
    QString text = QStringLiteral("line=\"%1\",port=\"%2\",station=\"%3\",name=\"%4\"")
                       .arg(escapedLabelValue(sensor.line), escapedLabelValue(sensor.port))
                       .arg(sensor.station)
                       .arg(escapedLabelValue(sensor.name));
    for (const auto& [name, value] : sensor.labels)
        text += QStringLiteral(",%1=\"%2\"").arg(name, escapedLabelValue(value));
    return text;
}

QString hundredths(int value)
{
    return QString::number(value / 100.0, 'f', 2);
}

// Seconds with the precision the exposition format is read with.
QString seconds(double value)
{
    return QString::number(value, 'g', 12);
}

} // namespace

QString escapedLabelValue(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            escaped += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else
            escaped += c;
    }
    return escaped;
}

void SensorMetrics::setSensors(const QList<MetricSensor>& sensors)
{
    std::map<std::pair<QString, int>, SensorState> kept;
    std::map<QString, LineState> lines;
    for (const MetricSensor& sensor : sensors) {
        const std::pair<QString, int> key{sensor.line, sensor.station};
        auto found = m_sensors.find(key);
        SensorState state;
        // The same sensor on the same port keeps its counters; anything else starts afresh.
        if (found != m_sensors.end() && found->second.sensor.port == sensor.port)
            state = found->second;
        state.sensor = sensor;
        kept[key] = state;
        const auto line = m_lines.find(sensor.line);
        lines[sensor.line]
            = line != m_lines.end() && line->second.port == sensor.port ? line->second : LineState{sensor.port, false};
    }
    m_sensors = std::move(kept);
    m_lines = std::move(lines);
}

void SensorMetrics::setLineUp(const QString& line, bool up)
{
    const auto found = m_lines.find(line);
    if (found != m_lines.end())
        found->second.up = up;
}

void SensorMetrics::record(const QString& line, const Reading& reading)
{
    const auto found = m_sensors.find({line, reading.station});
    if (found == m_sensors.end())
        return;
    SensorState& state = found->second;
    state.lastOk = reading.ok();
    ++state.outcomes[statusCode(reading.status, reading.check.exceptionCode)];
    if (reading.ok()) {
        state.values = reading.values;
        state.lastSoundMs = reading.time.toMSecsSinceEpoch();
    }
    if (reading.responseTime.count() > 0) {
        const double taken = std::chrono::duration<double>(reading.responseTime).count();
        for (std::size_t i = 0; i < ResponseBuckets.size(); ++i) {
            if (taken <= ResponseBuckets[i])
                ++state.buckets[i];
        }
        ++state.responses;
        state.responseSum += taken;
    }
}

QByteArray SensorMetrics::page(qint64 nowMs) const
{
    QString out;
    const auto family = [&](const char* name, const char* type, const char* help) {
        out += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                   .arg(QLatin1String(name), QLatin1String(help), QLatin1String(type));
    };
    const auto fresh
        = [&](const SensorState& state) { return state.values && nowMs - state.lastSoundMs <= m_staleness.count(); };
    const auto eachValue
        = [&](const char* name, const char* help, const std::function<std::optional<int>(const Measurement&)>& pick) {
              family(name, "gauge", help);
              for (const auto& [key, state] : m_sensors) {
                  if (!fresh(state))
                      continue;
                  if (const std::optional<int> value = pick(*state.values))
                      out += QStringLiteral("%1{%2} %3\n")
                                 .arg(QLatin1String(name), labelsOf(state.sensor), hundredths(*value));
              }
          };

    family("kv9240b_line_up", "gauge",
        "Whether the line's serial port or gateway connection is open (0: unreachable, not the sensors' fault).");
    for (const auto& [name, line] : m_lines) {
        out += QStringLiteral("kv9240b_line_up{line=\"%1\",port=\"%2\"} %3\n")
                   .arg(escapedLabelValue(name), escapedLabelValue(line.port))
                   .arg(line.up ? 1 : 0);
    }
    family("kv9240b_sensor_up", "gauge", "Whether the last exchange with the sensor succeeded.");
    for (const auto& [key, state] : m_sensors) {
        if (state.lastOk)
            out += QStringLiteral("kv9240b_sensor_up{%1} %2\n").arg(labelsOf(state.sensor)).arg(*state.lastOk ? 1 : 0);
    }
    eachValue("kv9240b_temperature_celsius", "Measured temperature, absent once the reading is stale.",
        [](const Measurement& m) { return m.temperature; });
    eachValue("kv9240b_relative_humidity_percent", "Measured relative humidity, absent once the reading is stale.",
        [](const Measurement& m) { return m.humidity; });
    eachValue("kv9240b_temperature_offset_celsius", "Calibration offset the sensor adds to its temperature.",
        [](const Measurement& m) { return m.temperatureOffset; });
    eachValue("kv9240b_relative_humidity_offset_percent", "Calibration offset the sensor adds to its humidity.",
        [](const Measurement& m) { return m.humidityOffset; });
    family("kv9240b_last_reading_timestamp_seconds", "gauge", "When the sensor last gave a sound reading.");
    for (const auto& [key, state] : m_sensors) {
        if (state.values)
            out += QStringLiteral("kv9240b_last_reading_timestamp_seconds{%1} %2\n")
                       .arg(labelsOf(state.sensor), QString::number(state.lastSoundMs / 1000.0, 'f', 3));
    }
    family("kv9240b_exchanges_total", "counter", "Exchanges with the sensor by outcome, retries included.");
    for (const auto& [key, state] : m_sensors) {
        for (const auto& [outcome, count] : state.outcomes)
            out += QStringLiteral("kv9240b_exchanges_total{%1,outcome=\"%2\"} %3\n")
                       .arg(labelsOf(state.sensor), outcome)
                       .arg(count);
    }
    family("kv9240b_response_time_seconds", "histogram",
        "From the request's last byte to the reply's last byte, for exchanges that got a reply.");
    for (const auto& [key, state] : m_sensors) {
        const QString labels = labelsOf(state.sensor);
        for (std::size_t i = 0; i < ResponseBuckets.size(); ++i)
            out += QStringLiteral("kv9240b_response_time_seconds_bucket{%1,le=\"%2\"} %3\n")
                       .arg(labels, seconds(ResponseBuckets[i]))
                       .arg(state.buckets[i]);
        out += QStringLiteral("kv9240b_response_time_seconds_bucket{%1,le=\"+Inf\"} %2\n")
                   .arg(labels)
                   .arg(state.responses);
        out += QStringLiteral("kv9240b_response_time_seconds_sum{%1} %2\n").arg(labels, seconds(state.responseSum));
        out += QStringLiteral("kv9240b_response_time_seconds_count{%1} %2\n").arg(labels).arg(state.responses);
    }
    return out.toUtf8();
}

} // namespace kv

#include "app/overview/overview_sensor.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace kv {

namespace {

constexpr auto FileFormat = "kv9240b-overview";
constexpr int FileVersion = 1;

void widen(std::optional<double>& low, std::optional<double>& high, std::optional<double> value)
{
    if (!value)
        return;
    low = low ? std::min(*low, *value) : *value;
    high = high ? std::max(*high, *value) : *value;
}

bool outside(std::optional<double> value, std::optional<double> low, std::optional<double> high)
{
    return value && ((low && *value < *low) || (high && *value > *high));
}

void putBound(QJsonObject& object, const char* key, std::optional<double> bound)
{
    if (bound)
        object.insert(QLatin1String(key), *bound);
}

std::optional<double> bound(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isDouble() ? std::optional<double>(value.toDouble()) : std::nullopt;
}

std::optional<double> hundredths(std::optional<int> value)
{
    return value ? std::optional<double>(*value / 100.0) : std::nullopt;
}

} // namespace

bool SensorLimits::breachedBy(const Measurement& values) const
{
    return outside(hundredths(values.temperature), temperatureLow, temperatureHigh)
        || outside(hundredths(values.humidity), humidityLow, humidityHigh);
}

QString OverviewSensor::defaultName(int port, int station)
{
    return QCoreApplication::translate("kv::OverviewSensor", "COM%1 站 %2").arg(port).arg(station);
}

void OverviewSensor::take(const Reading& reading)
{
    last = reading;
    ++exchanges;
    if (!reading.ok())
        return;
    ++sound;
    lastSound = reading.time;
    widen(minTemperature, maxTemperature, hundredths(reading.values.temperature));
    widen(minHumidity, maxHumidity, hundredths(reading.values.humidity));
    if (limits.breachedBy(reading.values)) {
        ++breaches;
        if (!breachSince.isValid())
            breachSince = reading.time;
    } else {
        breachSince = {};
    }
}

QJsonObject OverviewSensor::toJson() const
{
    QJsonObject object{{QStringLiteral("name"), name}, {QStringLiteral("port"), port},
        {QStringLiteral("baudRate"), baudRate}, {QStringLiteral("station"), station}};
    putBound(object, "temperatureLow", limits.temperatureLow);
    putBound(object, "temperatureHigh", limits.temperatureHigh);
    putBound(object, "humidityLow", limits.humidityLow);
    putBound(object, "humidityHigh", limits.humidityHigh);
    return object;
}

std::optional<OverviewSensor> OverviewSensor::fromJson(const QJsonObject& object)
{
    OverviewSensor sensor;
    sensor.port = object.value(QStringLiteral("port")).toInt(0);
    sensor.baudRate = object.value(QStringLiteral("baudRate")).toInt(0);
    const int station = object.value(QStringLiteral("station")).toInt(0);
    if (sensor.port < 1 || sensor.port > 255 || station < 1 || station > 247
        || !QList<int>{2400, 4800, 9600, 19200}.contains(sensor.baudRate))
        return std::nullopt;
    sensor.station = static_cast<std::uint8_t>(station);
    sensor.name = object.value(QStringLiteral("name")).toString(defaultName(sensor.port, station));
    sensor.limits = {bound(object, "temperatureLow"), bound(object, "temperatureHigh"), bound(object, "humidityLow"),
        bound(object, "humidityHigh")};
    return sensor;
}

QByteArray overviewFileText(const QList<OverviewSensor>& sensors)
{
    QJsonArray list;
    for (const OverviewSensor& sensor : sensors)
        list.append(sensor.toJson());
    const QJsonObject file{{QStringLiteral("format"), QLatin1String(FileFormat)},
        {QStringLiteral("version"), FileVersion}, {QStringLiteral("sensors"), list}};
    return QJsonDocument(file).toJson();
}

std::optional<QList<OverviewSensor>> readOverviewFile(const QByteArray& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    const QJsonObject file = document.object();
    if (file.value(QStringLiteral("format")).toString() != QLatin1String(FileFormat)
        || file.value(QStringLiteral("version")).toInt() != FileVersion)
        return std::nullopt;
    QList<OverviewSensor> sensors;
    for (const QJsonValue& value : file.value(QStringLiteral("sensors")).toArray()) {
        std::optional<OverviewSensor> sensor = OverviewSensor::fromJson(value.toObject());
        if (!sensor)
            return std::nullopt;
        sensors << *sensor;
    }
    return sensors;
}

} // namespace kv

#include "session/record_format.h"

#include <QStringList>

#include <cstdlib>
#include <optional>

namespace kv {

namespace {

QString hundredthsField(const std::optional<int>& value)
{
    return value ? hundredthsText(*value, QStringLiteral(".")) : QString();
}

QString integerField(const std::optional<int>& value)
{
    return value ? QString::number(*value) : QString();
}

QByteArray csvLine(const Reading& reading)
{
    // What a failed exchange decoded is no measurement.
    const Measurement values = reading.ok() ? reading.values : Measurement{};
    const QStringList fields{
        recordTime(reading.time),
        QString::number(reading.station),
        hundredthsField(values.temperature),
        hundredthsField(values.humidity),
        hundredthsField(values.temperatureOffset),
        hundredthsField(values.humidityOffset),
        integerField(values.baudRate),
        statusCode(reading.status, reading.exceptionCode),
    };
    return fields.join(QLatin1Char(',')).toUtf8() + '\n';
}

} // namespace

QByteArray recordHeader(RecordFormat format)
{
    switch (format) {
    case RecordFormat::Csv:
        return QByteArrayLiteral(
            "time,station,temperature_c,humidity_rh,temperature_offset_c,humidity_offset_rh,baud,status\n");
    }
    return {};
}

QByteArray recordLine(RecordFormat format, const Reading& reading)
{
    switch (format) {
    case RecordFormat::Csv:
        return csvLine(reading);
    }
    return {};
}

QString recordTime(const QDateTime& time)
{
    const int offset = time.offsetFromUtc() / 60;
    const int magnitude = std::abs(offset);
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))
        + QStringLiteral("%1%2:%3")
              .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
              .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
              .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

} // namespace kv

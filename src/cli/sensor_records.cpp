#include "cli/sensor_records.h"

#include <QStringList>

namespace kv::cli {

namespace {

const QString Point = QStringLiteral(".");

QString jsonString(const QString& text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString number(const std::optional<int>& hundredths, const QString& none)
{
    return hundredths ? hundredthsText(*hundredths, Point) : none;
}

} // namespace

QString foundHeader(RecordFormat format)
{
    return format == RecordFormat::Csv ? QStringLiteral("port,baud,station,temperature_c,humidity_rh,status")
                                       : QString();
}

QString foundLine(RecordFormat format, const FoundSensor& sensor)
{
    const Measurement& v = sensor.values;
    const QString status = statusCode(sensor.valuesStatus);
    switch (format) {
    case RecordFormat::Csv:
        return QStringList{csvField(sensor.device), QString::number(sensor.baudRate), QString::number(sensor.station),
            number(v.temperature, {}), number(v.humidity, {}), status}
            .join(QLatin1Char(','));
    case RecordFormat::Json:
        return QStringLiteral("{\"port\":%1,\"baud\":%2,\"station\":%3,\"temperature_c\":%4,\"humidity_rh\":%5,"
                              "\"status\":\"%6\"}")
            .arg(jsonString(sensor.device))
            .arg(sensor.baudRate)
            .arg(sensor.station)
            .arg(number(v.temperature, QStringLiteral("null")), number(v.humidity, QStringLiteral("null")), status);
    case RecordFormat::Text:
    case RecordFormat::Influx:
        break;
    }
    QStringList parts{sensor.device, QStringLiteral("%1 baud").arg(sensor.baudRate),
        QStringLiteral("station %1").arg(sensor.station)};
    if (sensor.valuesStatus != OutcomeKind::Ok)
        parts << QStringLiteral("values not read (%1)").arg(status);
    if (v.temperature)
        parts << QStringLiteral("%1 °C").arg(hundredthsText(*v.temperature, Point));
    if (v.humidity)
        parts << QStringLiteral("%1 %RH").arg(hundredthsText(*v.humidity, Point));
    return parts.join(QStringLiteral("  "));
}

QString addressHeader(RecordFormat format)
{
    return format == RecordFormat::Csv ? QStringLiteral("station") : QString();
}

QString addressLine(RecordFormat format, std::uint8_t station)
{
    switch (format) {
    case RecordFormat::Csv:
        return QString::number(station);
    case RecordFormat::Json:
        return QStringLiteral("{\"station\":%1}").arg(station);
    case RecordFormat::Text:
    case RecordFormat::Influx:
        break;
    }
    return QStringLiteral("station %1").arg(station);
}

} // namespace kv::cli

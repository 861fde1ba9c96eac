#include "session/record_format.h"

#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace kv {

namespace {

const QString Point = QStringLiteral(".");

QString hundredths(const std::optional<int>& value)
{
    return value ? hundredthsText(*value, Point) : QString();
}

QString signedHundredths(int value)
{
    return (value >= 0 ? QStringLiteral("+") : QString()) + hundredthsText(value, Point);
}

QString jsonNumber(const std::optional<int>& value, bool hundredthsOfUnit)
{
    if (!value)
        return QStringLiteral("null");
    return hundredthsOfUnit ? hundredthsText(*value, Point) : QString::number(*value);
}

QString textLine(const Reading& reading)
{
    const QString station = QStringLiteral("station %1").arg(reading.station);
    if (!reading.ok())
        return station + QStringLiteral("  ") + failureText(reading);
    const Measurement& v = reading.values;
    QStringList parts{station};
    if (v.temperature)
        parts << QStringLiteral("%1 °C").arg(hundredthsText(*v.temperature, Point));
    if (v.humidity)
        parts << QStringLiteral("%1 %RH").arg(hundredthsText(*v.humidity, Point));
    if (v.temperatureOffset && v.humidityOffset)
        parts << QStringLiteral("offsets %1 °C %2 %RH")
                     .arg(signedHundredths(*v.temperatureOffset), signedHundredths(*v.humidityOffset));
    if (v.baudRate)
        parts << QStringLiteral("%1 baud").arg(*v.baudRate);
    return parts.join(QStringLiteral("  "));
}

QString csvLine(const Reading& reading)
{
    const Measurement& v = reading.values;
    return QStringList{isoTime(reading.time), QString::number(reading.station), hundredths(v.temperature),
        hundredths(v.humidity), hundredths(v.temperatureOffset), hundredths(v.humidityOffset),
        v.baudRate ? QString::number(*v.baudRate) : QString(), statusCode(reading.status, reading.check.exceptionCode)}
        .join(QLatin1Char(','));
}

QString jsonLine(const Reading& reading)
{
    // Written by hand: a JSON writer would print 25.00 as 25, and the two
    // decimals are part of the format.
    const Measurement& v = reading.values;
    return QStringLiteral("{\"time\":\"%1\",\"station\":%2,\"temperature_c\":%3,\"humidity_rh\":%4,"
                          "\"temperature_offset_c\":%5,\"humidity_offset_rh\":%6,\"baud\":%7,\"status\":\"%8\"}")
        .arg(isoTime(reading.time))
        .arg(reading.station)
        .arg(jsonNumber(v.temperature, true), jsonNumber(v.humidity, true), jsonNumber(v.temperatureOffset, true),
            jsonNumber(v.humidityOffset, true), jsonNumber(v.baudRate, false),
            statusCode(reading.status, reading.check.exceptionCode));
}

// A tag value of line protocol: commas, equals signs and spaces escaped.
QString influxTag(QString value)
{
    return value.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char(','), QLatin1String("\\,"))
        .replace(QLatin1Char('='), QLatin1String("\\="))
        .replace(QLatin1Char(' '), QLatin1String("\\ "));
}

// A failed reading is a point too, with its status and no values, so that a
// collector sees the failure where it keeps the measurements.
QString influxLine(const Reading& reading)
{
    const Measurement& v = reading.values;
    QStringList fields;
    if (v.temperature)
        fields << QStringLiteral("temperature_c=") + hundredthsText(*v.temperature, Point);
    if (v.humidity)
        fields << QStringLiteral("humidity_rh=") + hundredthsText(*v.humidity, Point);
    if (v.temperatureOffset)
        fields << QStringLiteral("temperature_offset_c=") + hundredthsText(*v.temperatureOffset, Point);
    if (v.humidityOffset)
        fields << QStringLiteral("humidity_offset_rh=") + hundredthsText(*v.humidityOffset, Point);
    if (v.baudRate)
        fields << QStringLiteral("baud=%1i").arg(*v.baudRate);
    if (reading.ok() && fields.isEmpty())
        return {};
    fields << QStringLiteral("status=\"%1\"").arg(statusCode(reading.status, reading.check.exceptionCode));
    const qint64 nanoseconds = reading.time.toMSecsSinceEpoch() * 1'000'000;
    const QString port = reading.port.isEmpty() ? QString() : QStringLiteral(",port=") + influxTag(reading.port);
    return QStringLiteral("kv9240b,station=%1%2 %3 %4")
        .arg(reading.station)
        .arg(port, fields.join(QLatin1Char(',')))
        .arg(nanoseconds);
}

} // namespace

std::optional<RecordFormat> recordFormatNamed(const QString& name)
{
    if (name == QLatin1String("text"))
        return RecordFormat::Text;
    if (name == QLatin1String("csv"))
        return RecordFormat::Csv;
    if (name == QLatin1String("json"))
        return RecordFormat::Json;
    if (name == QLatin1String("influx"))
        return RecordFormat::Influx;
    return std::nullopt;
}

QString recordHeader(RecordFormat format)
{
    if (format != RecordFormat::Csv)
        return {};
    return QStringLiteral("time,station,temperature_c,humidity_rh,temperature_offset_c,humidity_offset_rh,baud,status");
}

QByteArray recordLineStart(RecordFormat format)
{
    switch (format) {
    case RecordFormat::Text:
        return QByteArrayLiteral("station ");
    case RecordFormat::Csv:
        return recordHeader(format).toUtf8();
    case RecordFormat::Json:
        return QByteArrayLiteral("{\"time\":\"");
    case RecordFormat::Influx:
        return QByteArrayLiteral("kv9240b,station=");
    }
    return {};
}

QString recordLine(RecordFormat format, const Reading& reading)
{
    switch (format) {
    case RecordFormat::Text:
        return textLine(reading);
    case RecordFormat::Csv:
        return csvLine(reading);
    case RecordFormat::Json:
        return jsonLine(reading);
    case RecordFormat::Influx:
        return influxLine(reading);
    }
    return {};
}

namespace {

QByteArray asFileLine(const QString& line)
{
    return line.isEmpty() ? QByteArray() : (line + QLatin1Char('\n')).toUtf8();
}

} // namespace

QByteArray recordHeaderBytes(RecordFormat format)
{
    return asFileLine(recordHeader(format));
}

QByteArray recordLineBytes(RecordFormat format, const Reading& reading)
{
    return asFileLine(recordLine(format, reading));
}

QString isoTime(const QDateTime& time)
{
    // Digit by digit: toString() reads its format pattern again on every call,
    // and a record is written for every reading of a watch.
    const QDate date = time.date();
    const QTime clock = time.time();
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", date.year(), date.month(),
        date.day(), clock.hour(), clock.minute(), clock.second(), clock.msec(), offset < 0 ? '-' : '+', minutes / 60,
        minutes % 60);
    return QString::fromLatin1(text);
}

QString failureText(const Reading& reading)
{
    switch (reading.status) {
    case OutcomeKind::Ok:
        return QStringLiteral("ok");
    case OutcomeKind::NoReply:
        return QStringLiteral("no reply (timeout %1 ms)").arg(reading.timeout.count());
    case OutcomeKind::Partial:
        return QStringLiteral("partial (%1 of %2 bytes)").arg(reading.check.received).arg(reading.check.expected);
    case OutcomeKind::BadCrc:
        return QStringLiteral("bad CRC");
    case OutcomeKind::Exception: {
        const QString name = exceptionNameInEnglish(reading.check.exceptionCode);
        const QString code = QStringLiteral("%1").arg(reading.check.exceptionCode, 2, 16, QLatin1Char('0')).toUpper();
        return name.isEmpty() ? QStringLiteral("exception %1").arg(code)
                              : QStringLiteral("exception %1 (%2)").arg(code, name);
    }
    case OutcomeKind::Unexpected:
        switch (reading.check.mismatch) {
        case Mismatch::Station:
            return QStringLiteral("unexpected reply (another station)");
        case Mismatch::Function:
            return QStringLiteral("unexpected reply (another function)");
        case Mismatch::Transaction:
            return QStringLiteral("unexpected reply (another transaction)");
        default:
            return QStringLiteral("unexpected reply (another length)");
        }
    case OutcomeKind::PortLost:
        return QStringLiteral("port lost");
    }
    return {};
}

} // namespace kv

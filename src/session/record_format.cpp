#include "session/record_format.h"

#include <QStringList>

#include <charconv>
#include <cstdlib>

namespace kv {

namespace {

const QString Point = QStringLiteral(".");

// Record text is put together in a byte buffer, digit by digit: a record is
// written for every reading of a watch, and QString's pieces, arg() and join()
// cost more than the exchange that read it.
char* putNumber(char* out, long long value)
{
    return std::to_chars(out, out + 24, value).ptr;
}

char* putDigits(char* out, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        out[i] = static_cast<char>('0' + value % 10);
    return out + digits;
}

char* putHundredths(char* out, long long hundredths)
{
    if (hundredths < 0)
        *out++ = '-';
    const long long magnitude = hundredths < 0 ? -hundredths : hundredths;
    out = putNumber(out, magnitude / 100);
    *out++ = '.';
    return putDigits(out, static_cast<int>(magnitude % 100), 2);
}

char* putLatin1(char* out, const QString& text)
{
    for (const QChar c : text)
        *out++ = static_cast<char>(c.unicode());
    return out;
}

// 2026-12-07T14:03:10.123+01:00: 29 characters.
char* putIsoTime(char* out, const QDateTime& time)
{
    // A time in a fixed offset (as the pollers stamp them) gives its parts
    // without asking the time zone rules again.
    const QDate date = time.date();
    const QTime clock = time.time();
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    out = putDigits(out, date.year(), 4);
    *out++ = '-';
    out = putDigits(out, date.month(), 2);
    *out++ = '-';
    out = putDigits(out, date.day(), 2);
    *out++ = 'T';
    out = putDigits(out, clock.hour(), 2);
    *out++ = ':';
    out = putDigits(out, clock.minute(), 2);
    *out++ = ':';
    out = putDigits(out, clock.second(), 2);
    *out++ = '.';
    out = putDigits(out, clock.msec(), 3);
    *out++ = offset < 0 ? '-' : '+';
    out = putDigits(out, minutes / 60, 2);
    *out++ = ':';
    return putDigits(out, minutes % 60, 2);
}

// The csv record: time, station, four quantities, rate and status, each
// field bounded (a number, or a status code of a few letters).
QByteArray csvBytes(const Reading& reading, bool lineEnd)
{
    const Measurement& v = reading.values;
    char text[160];
    char* out = putIsoTime(text, reading.time);
    *out++ = ',';
    out = putNumber(out, reading.station);
    for (const std::optional<int>& quantity : {v.temperature, v.humidity, v.temperatureOffset, v.humidityOffset}) {
        *out++ = ',';
        if (quantity)
            out = putHundredths(out, *quantity);
    }
    *out++ = ',';
    if (v.baudRate)
        out = putNumber(out, *v.baudRate);
    *out++ = ',';
    out = putLatin1(out, statusCode(reading.status, reading.check.exceptionCode));
    if (lineEnd)
        *out++ = '\n';
    return QByteArray(text, out - text);
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
    return QString::fromLatin1(csvBytes(reading, false));
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
    if (format == RecordFormat::Csv)
        return csvBytes(reading, true);
    return asFileLine(recordLine(format, reading));
}

QString isoTime(const QDateTime& time)
{
    char text[40];
    return QString::fromLatin1(text, putIsoTime(text, time) - text);
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

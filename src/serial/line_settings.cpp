#include "serial/line_settings.h"

#include <QStringList>

namespace kv {

std::optional<LineSettings> LineSettings::parse(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;

    LineSettings result;
    bool ok = false;
    result.baudRate = fields[0].trimmed().toInt(&ok);
    if (!ok || result.baudRate <= 0)
        return std::nullopt;

    const QString parity = fields[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        result.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("E"))
        result.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("O"))
        result.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("M"))
        result.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("S"))
        result.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const int dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return std::nullopt;
    result.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const QString stopBits = fields[3].trimmed();
    if (stopBits == QLatin1String("1"))
        result.stopBits = QSerialPort::OneStop;
    else if (stopBits == QLatin1String("1.5"))
        result.stopBits = QSerialPort::OneAndHalfStop;
    else if (stopBits == QLatin1String("2"))
        result.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;

    return result;
}

} // namespace kv

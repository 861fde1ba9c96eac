#include "protocol/kv9240b/measurement.h"

#include <QLocale>

#include <cstdlib>

namespace kv {

std::optional<int>& Measurement::operator[](int row)
{
    switch (row) {
    case TemperatureRow:
        return temperature;
    case HumidityRow:
        return humidity;
    case TemperatureOffsetRow:
        return temperatureOffset;
    case HumidityOffsetRow:
        return humidityOffset;
    default:
        return baudRate;
    }
}

const std::optional<int>& Measurement::operator[](int row) const
{
    return const_cast<Measurement&>(*this)[row];
}

int firstRowForStart(int startRegister)
{
    return startRegister == 0 ? 0 : 2 * (startRegister - 1);
}

int rowValue(int row, std::uint16_t raw)
{
    const int value = raw == 0xFFFF ? 0 : raw;
    switch (row) {
    case TemperatureRow:
        return value > 20000 ? value - 65536 : value;
    case HumidityRow:
    case TemperatureOffsetRow:
    case HumidityOffsetRow:
        return value > 32768 ? value - 65536 : value;
    default:
        return value;
    }
}

std::vector<std::uint16_t> replyRegisters(std::span<const std::uint8_t> reply)
{
    std::vector<std::uint16_t> registers;
    if (reply.size() < 3)
        return registers;
    const std::size_t dataBytes = reply[2];
    for (std::size_t i = 3; i + 1 < reply.size() && i + 1 <= dataBytes + 2; i += 2)
        registers.push_back(static_cast<std::uint16_t>(reply[i] << 8 | reply[i + 1]));
    return registers;
}

Measurement measurementFromRegisters(std::uint8_t station, int firstRow, std::span<const std::uint16_t> registers)
{
    Measurement measurement;
    measurement.station = station;
    for (std::size_t k = 0; k < registers.size(); ++k) {
        const int row = firstRow + static_cast<int>(k);
        if (row >= 0 && row < MeasurementRows)
            measurement[row] = rowValue(row, registers[k]);
    }
    return measurement;
}

QString hundredthsText(int hundredths)
{
    return hundredthsText(hundredths, QLocale().decimalPoint());
}

QString hundredthsText(int hundredths, const QString& decimalPoint)
{
    const int magnitude = std::abs(hundredths);
    QString text;
    if (hundredths < 0)
        text += QLatin1Char('-');
    text += QString::number(magnitude / 100);
    text += decimalPoint;
    if (magnitude % 100 < 10)
        text += QLatin1Char('0');
    text += QString::number(magnitude % 100);
    return text;
}

} // namespace kv

#include "replies/reply_decoder.h"

#include "modbus/crc16.h"
#include "modbus/exchange_state.h"
#include "requests/number_text.h"

#include <QLocale>

#include <cstdlib>

namespace kv {

namespace {

constexpr int ValueBoxes = 8;
constexpr std::size_t HeaderBytes = 3;
constexpr std::size_t CrcBytes = 2;

// The row of the first value: start address 0 and 1 both begin at row 0,
// each further register moves two rows down.
double firstRow(const QString& startAddressText)
{
    const std::optional<double> start = readNumber(startAddressText);
    if (!start)
        return 0;
    const double whole = wholePart(*start);
    return whole == 0 ? 0 : 2 * (whole - 1);
}

QString valueText(int row, int raw)
{
    if (raw == 0xFFFF) // the sensor's "no value": shown as zero, never as -0.01
        raw = 0;
    switch (row) {
    case 0:
        return hundredthsText(raw > 20000 ? raw - 65536 : raw);
    case 1:
    case 2:
    case 3:
        return hundredthsText(raw > 32768 ? raw - 65536 : raw);
    case 4:
        return QString::number(raw);
    default:
        return {};
    }
}

DecodedReply decodeMeasurement(std::span<const std::uint8_t> bytes, const QString& startAddressText)
{
    DecodedReply reply;
    if (!isSoundMeasurementReply(bytes)) {
        reply.sound = false;
        return reply;
    }
    const double base = firstRow(startAddressText);
    const int dataBytes = bytes[2];
    for (int k = 0, i = 3; i <= dataBytes + 1; ++k, i += 2) {
        const int raw = bytes[i] * 256 + bytes[i + 1];
        const double row = base + k;
        if (row >= 0 && row <= 4)
            reply.values.push_back({static_cast<int>(row), valueText(static_cast<int>(row), raw)});
        if (k < ValueBoxes)
            reply.blackened.push_back(k);
    }
    return reply;
}

} // namespace

bool isSoundMeasurementReply(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < HeaderBytes + CrcBytes)
        return false;
    const std::size_t dataBytes = bytes[2];
    if (dataBytes == 0 || dataBytes % 2 != 0 || bytes.size() < HeaderBytes + dataBytes + CrcBytes)
        return false;
    if (bytes[1] & 0x80)
        return false;
    const std::size_t covered = HeaderBytes + dataBytes;
    const std::uint16_t crc = crc16Modbus(bytes.first(covered));
    return bytes[covered] == (crc & 0xFF) && bytes[covered + 1] == (crc >> 8);
}

DecodedReply decodeReply(std::span<const std::uint8_t> bytes, int cmdType, const QString& startAddressText)
{
    DecodedReply reply;
    switch (cmdType) {
    case RequestKind::Measurement:
        return decodeMeasurement(bytes, startAddressText);
    case RequestKind::AddressChange:
        if (bytes.size() > 3)
            reply.address = bytes[3];
        break;
    case RequestKind::AddressReadOrWrite:
        if (!bytes.empty())
            reply.address = bytes[0];
        break;
    default:
        break;
    }
    return reply;
}

QString hundredthsText(int hundredths)
{
    const int magnitude = std::abs(hundredths);
    return QStringLiteral("%1%2%3%4")
        .arg(hundredths < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 100)
        .arg(QLocale().decimalPoint())
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

} // namespace kv

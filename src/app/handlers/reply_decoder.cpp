#include "app/handlers/reply_decoder.h"

#include "app/exchange_state.h"
#include "protocol/crc16.h"
#include "protocol/measurement.h"
#include "protocol/number_text.h"

#include <algorithm>

namespace kv {

namespace {

constexpr int ValueBoxes = 8;
constexpr std::size_t HeaderBytes = 3;
constexpr std::size_t CrcBytes = 2;

// The start address as typed when the reply is decoded: a text that is not a
// number counts as 0. Far beyond the rows either way it makes no difference,
// so it is held to a range an int can take.
int startRegister(const QString& startAddressText)
{
    const std::optional<double> start = readNumber(startAddressText);
    return start ? static_cast<int>(std::clamp(wholePart(*start), -1000.0, 1000.0)) : 0;
}

QString rowText(int row, int value)
{
    return row == BaudRateRow ? QString::number(value) : hundredthsText(value);
}

DecodedReply decodeMeasurement(std::span<const std::uint8_t> bytes, const QString& startAddressText)
{
    DecodedReply reply;
    if (!isSoundMeasurementReply(bytes)) {
        reply.sound = false;
        return reply;
    }
    const int base = firstRowForStart(startRegister(startAddressText));
    const std::vector<std::uint16_t> registers = replyRegisters(bytes);
    for (int k = 0; k < static_cast<int>(registers.size()); ++k) {
        const int row = base + k;
        if (row >= 0 && row < MeasurementRows)
            reply.values.push_back({row, rowText(row, rowValue(row, registers[static_cast<std::size_t>(k)]))});
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
    if (dataBytes == 0 || dataBytes % 2 != 0 || bytes[1] & 0x80)
        return false;
    return hasCrcAfter(bytes, HeaderBytes + dataBytes);
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
    case RequestKind::AddressRead: // and ParameterWrite, the same kind
        if (!bytes.empty())
            reply.address = bytes[0];
        break;
    default:
        break;
    }
    return reply;
}

} // namespace kv

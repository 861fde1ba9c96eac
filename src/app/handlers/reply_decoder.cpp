#include "app/handlers/reply_decoder.h"

#include "app/exchange_state.h"
#include "protocol/kv9240b/measurement.h"
#include "protocol/kv9240b/number_text.h"
#include "protocol/kv9240b/sensor_reply.h"

#include <algorithm>

namespace kv {

namespace {

constexpr int ValueBoxes = 8;
constexpr std::uint8_t LowestStation = 1;

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

bool isStation(int value)
{
    return value >= LowestStation && value <= AnyStation;
}

// The engine knows the length of a register read only for read functions;
// the window lets any function code be typed, so the data bytes are checked
// against the registers asked for here as well.
bool answersQuery(std::span<const std::uint8_t> bytes, const ReplyCheck& check, std::span<const std::uint8_t> request)
{
    if (!check.ok())
        return false;
    const int registers = request[4] << 8 | request[5];
    return bytes.size() > 2 && bytes[2] == 2 * registers;
}

DecodedReply decodeMeasurement(std::span<const std::uint8_t> bytes, const ReplyCheck& check,
    std::span<const std::uint8_t> request, const QString& startAddressText)
{
    DecodedReply reply;
    if (!answersQuery(bytes, check, request)) {
        reply.verdict = DecodedReply::Verdict::Refused;
        return reply;
    }
    reply.verdict = DecodedReply::Verdict::Accepted;
    reply.startRegister = startRegister(startAddressText);
    const int base = firstRowForStart(reply.startRegister);
    const std::vector<std::uint16_t> registers = replyRegisters(bytes);
    reply.measurement = measurementFromRegisters(bytes[0], base, registers);
    for (int k = 0; k < static_cast<int>(registers.size()); ++k) {
        const int row = base + k;
        if (row >= 0 && row < MeasurementRows)
            reply.values.push_back({row, rowText(row, *(*reply.measurement)[row])});
        if (k < ValueBoxes)
            reply.blackened.push_back(k);
    }
    return reply;
}

// Byte 0 of an address read or write reply is the station that answered;
// the echo of an address change carries the new address in byte 5 (its
// byte 3 is the register's low byte, always 0).
DecodedReply decodeAddress(std::span<const std::uint8_t> bytes, const ReplyCheck& check, int cmdType)
{
    DecodedReply reply;
    reply.verdict = DecodedReply::Verdict::Refused;
    if (!check.ok() || !isStation(bytes[0]))
        return reply;
    const int address = cmdType == RequestKind::AddressChange ? bytes[5] : bytes[0];
    if (!isStation(address))
        return reply;
    reply.verdict = DecodedReply::Verdict::Accepted;
    reply.address = address;
    return reply;
}

} // namespace

DecodedReply decodeReply(std::span<const std::uint8_t> bytes, const ReplyCheck& check, int cmdType,
    std::span<const std::uint8_t> request, const QString& startAddressText)
{
    switch (cmdType) {
    case RequestKind::Measurement:
        return decodeMeasurement(bytes, check, request, startAddressText);
    case RequestKind::AddressChange:
    case RequestKind::AddressRead: // and ParameterWrite, the same kind
        return decodeAddress(bytes, check, cmdType);
    default:
        return {};
    }
}

} // namespace kv

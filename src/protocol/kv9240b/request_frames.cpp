#include "protocol/kv9240b/request_frames.h"

#include "protocol/kv9240b/number_text.h"

#include <QCoreApplication>

namespace kv {

namespace {

bool fitsInByte(double value)
{
    return value >= 0 && value <= 255;
}

} // namespace

FrameHead addressReadHead()
{
    return readRegistersHead(AnyStation, 0, 1);
}

FrameHead parameterWriteHead(int index, std::uint16_t registerValue)
{
    return {AnyStation, 0x06, 0x0A, static_cast<std::uint8_t>(2 * index), static_cast<std::uint8_t>(registerValue >> 8),
        static_cast<std::uint8_t>(registerValue & 0xFF)};
}

QueryBoxes readQueryBoxes(
    const QString& stationText, const QString& functionText, const QString& startText, const QString& lengthText)
{
    // Worded only when refused: this runs for every polled request.
    const auto stationMessage = [] { return QCoreApplication::translate("kv::Requests", "你输入的设备地址格式有误!"); };
    const auto functionMessage = [] { return QCoreApplication::translate("kv::Requests", "你输入的功能码格式有误!"); };
    const auto lengthMessage = [] { return QCoreApplication::translate("kv::Requests", "你输入的数据长度格式有误!"); };
    const auto startMessage = [] { return QCoreApplication::translate("kv::Requests", "你输入的起始地址格式有误!"); };

    const std::optional<double> station = readNumber(stationText);
    if (!station)
        return {{}, stationMessage()};
    const std::optional<double> function = readNumber(functionText);
    if (!function)
        return {{}, functionMessage()};
    const std::optional<double> length = readNumber(lengthText);
    if (!length)
        return {{}, lengthMessage()};
    const std::optional<double> start = readNumber(startText);
    if (!start)
        return {{}, startMessage()};

    const double count = wholePart(*length);
    if (count < 1 || count > 8)
        return {{}, QCoreApplication::translate("kv::Requests", "你输入的数据长度格式有误,正确的值应该为1-8!")};
    // Each value must fit its byte: 300 must not go out as the broadcast address 0.
    const double stationByte = wholePart(*station);
    if (!fitsInByte(stationByte))
        return {{}, stationMessage()};
    const double functionByte = roundHalfEven(*function);
    if (!fitsInByte(functionByte))
        return {{}, functionMessage()};
    const double startByte = wholePart(*start);
    if (!fitsInByte(startByte))
        return {{}, startMessage()};

    return {FrameHead{static_cast<std::uint8_t>(stationByte), static_cast<std::uint8_t>(functionByte), 0,
                static_cast<std::uint8_t>(startByte), 0, static_cast<std::uint8_t>(count)},
        {}};
}

AddressChange readAddressChange(const QString& currentText, const QString& targetText)
{
    const std::optional<double> current = readNumber(currentText);
    if (!current)
        return {0, 0, QCoreApplication::translate("kv::Requests", "你输入的原设备地址格式有误!")};
    const std::optional<double> target = readNumber(targetText);
    if (!target)
        return {0, 0, QCoreApplication::translate("kv::Requests", "你输入的目标设备地址格式有误!")};

    const double from = wholePart(*current);
    const double to = wholePart(*target);
    // Station and value are one byte each: an address outside it cannot be sent.
    if (from < 1 || from > 255 || to < 1)
        return {0, 0, QCoreApplication::translate("kv::Requests", "请指定正确的设备地址，正确值范围为1-250")};
    if (to > 250)
        return {0, 0, QCoreApplication::translate("kv::Requests", "请指定正确的设备地址，正确值范围为1-250!")};
    return {static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to), {}};
}

FrameHead addressChangeHead(const AddressChange& change)
{
    return {change.station, 0x06, 0x0B, 0x00, 0x00, change.newAddress};
}

} // namespace kv

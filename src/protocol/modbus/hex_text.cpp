#include "protocol/modbus/hex_text.h"

namespace kv {

QString FormatHex(std::uint8_t bb)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    const QChar pair[2] = {QLatin1Char(digits[bb >> 4]), QLatin1Char(digits[bb & 0x0F])};
    return QString(pair, 2);
}

QString sentFrameText(std::span<const std::uint8_t> bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()) * 3);
    for (std::uint8_t byte : bytes)
        text += FormatHex(byte) + QLatin1Char(' ');
    return text;
}

QString receivedFrameText(std::span<const std::uint8_t> bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()) * 3);
    for (std::uint8_t byte : bytes)
        text += QLatin1Char(' ') + FormatHex(byte);
    return text;
}

} // namespace kv

#include "protocol/modbus/hex_text.h"

namespace kv {

namespace {

constexpr char digits[] = "0123456789ABCDEF";

} // namespace

QString FormatHex(std::uint8_t bb)
{
    const QChar pair[2] = {QLatin1Char(digits[bb >> 4]), QLatin1Char(digits[bb & 0x0F])};
    return QString(pair, 2);
}

namespace {

// Each byte as two hex digits with a space before or after it, written into
// the string in place: a frame is shown at every poll.
QString frameText(std::span<const std::uint8_t> bytes, bool spaceFirst)
{
    QString text(static_cast<qsizetype>(bytes.size()) * 3, Qt::Uninitialized);
    QChar* out = text.data();
    for (std::uint8_t byte : bytes) {
        if (spaceFirst)
            *out++ = QLatin1Char(' ');
        *out++ = QLatin1Char(digits[byte >> 4]);
        *out++ = QLatin1Char(digits[byte & 0x0F]);
        if (!spaceFirst)
            *out++ = QLatin1Char(' ');
    }
    return text;
}

} // namespace

QString sentFrameText(std::span<const std::uint8_t> bytes)
{
    return frameText(bytes, false);
}

QString receivedFrameText(std::span<const std::uint8_t> bytes)
{
    return frameText(bytes, true);
}

} // namespace kv

#pragma once

#include <QString>

#include <cstdint>
#include <span>

namespace kv {

// One byte as two upper-case hexadecimal digits: 0 -> "00", 10 -> "0A", 171 -> "AB".
QString FormatHex(std::uint8_t bb);

// Text of a frame we send: each byte's two digits followed by one blank ("02 03 ... 3F ").
QString sentFrameText(std::span<const std::uint8_t> bytes);

// Text of bytes we received: each byte as one blank and its two digits (" 02 03 10").
QString receivedFrameText(std::span<const std::uint8_t> bytes);

} // namespace kv

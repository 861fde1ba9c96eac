#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <span>

namespace kv {

// Bytes 0 to 5 of a request: station, function, register high and low,
// count or value high and low. The CRC completes the 8-byte frame.
using FrameHead = std::array<std::uint8_t, 6>;
using Frame = std::array<std::uint8_t, 8>;

// The head followed by its CRC, low-order byte first.
Frame withCrc(const FrameHead& head);

// Read `count` holding registers (function 3) from `start` at `station`.
FrameHead readRegistersHead(std::uint8_t station, std::uint8_t start, std::uint8_t count);

inline std::span<const std::uint8_t> asSpan(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

} // namespace kv

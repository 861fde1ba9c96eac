#pragma once

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace kv::sim {

// One Modbus RTU frame as it travels on the line, CRC included.
using Frame = std::vector<std::uint8_t>;

// The body followed by its CRC, low-order byte first as the line carries it.
Frame withCrc(Frame body);

// Whether the last two bytes are the CRC of the bytes before them.
bool hasIntactCrc(std::span<const std::uint8_t> frame);

// Upper-case hex pairs separated by single blanks: "01 03 02 09 C4".
QString hexText(std::span<const std::uint8_t> bytes);

} // namespace kv::sim

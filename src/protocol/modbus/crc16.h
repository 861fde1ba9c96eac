#pragma once

#include <cstdint>
#include <span>

namespace kv {

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes);

// Whether the two bytes after the first `covered` bytes are their CRC, low-order
// byte first as the line carries it. False when the frame is shorter than that.
bool hasCrcAfter(std::span<const std::uint8_t> frame, std::size_t covered);

// The window's CRC routine: the CRC over bytes 0..j of the frame, left in two
// variables. Beware the names, kept from the window's design: HiByte receives
// the CRC's LOW-order byte (sent first), LoByte its HIGH-order byte (sent
// second). j = -1 covers no byte; j must lie inside the frame.
void Crc16(std::span<const std::uint8_t> cmdstring, int j, std::int32_t& HiByte, std::uint8_t& LoByte);

} // namespace kv

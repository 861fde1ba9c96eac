#pragma once

#include <cstdint>
#include <span>

namespace kv {

struct ExchangeState;

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes);

// Computes the CRC over bytes 0..j of the frame and leaves its two bytes in the
// exchange state: HiByte gets the low-order byte (sent first), LoByte the
// high-order byte (sent second). j = -1 covers no byte. j must lie inside the frame.
void Crc16(std::span<const std::uint8_t> cmdstring, int j, ExchangeState& state);

} // namespace kv

#include "modbus/crc16.h"

#include "modbus/exchange_state.h"

#include <stdexcept>

namespace kv {

std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

void Crc16(std::span<const std::uint8_t> cmdstring, int j, ExchangeState& state)
{
    if (j < -1 || j >= static_cast<int>(cmdstring.size()))
        throw std::out_of_range("CRC range runs past the end of the frame");
    const std::uint16_t crc = crc16Modbus(cmdstring.first(static_cast<std::size_t>(j + 1)));
    state.HiByte = crc & 0xFF;
    state.LoByte = static_cast<std::uint8_t>(crc >> 8);
}

} // namespace kv

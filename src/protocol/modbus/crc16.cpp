#include "protocol/modbus/crc16.h"

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

bool hasCrcAfter(std::span<const std::uint8_t> frame, std::size_t covered)
{
    if (frame.size() < covered + 2)
        return false;
    const std::uint16_t crc = crc16Modbus(frame.first(covered));
    return frame[covered] == (crc & 0xFF) && frame[covered + 1] == (crc >> 8);
}

void Crc16(std::span<const std::uint8_t> cmdstring, int j, std::int32_t& HiByte, std::uint8_t& LoByte)
{
    if (j < -1 || j >= static_cast<int>(cmdstring.size()))
        throw std::out_of_range("CRC range runs past the end of the frame");
    const std::uint16_t crc = crc16Modbus(cmdstring.first(static_cast<std::size_t>(j + 1)));
    HiByte = crc & 0xFF;
    LoByte = static_cast<std::uint8_t>(crc >> 8);
}

} // namespace kv

#include "protocol/modbus/frame.h"

#include "protocol/modbus/crc16.h"

#include <algorithm>

namespace kv {

Frame withCrc(const FrameHead& head)
{
    Frame frame{};
    std::copy(head.begin(), head.end(), frame.begin());
    const std::uint16_t crc = crc16Modbus(head);
    frame[6] = static_cast<std::uint8_t>(crc & 0xFF);
    frame[7] = static_cast<std::uint8_t>(crc >> 8);
    return frame;
}

FrameHead readRegistersHead(std::uint8_t station, std::uint8_t start, std::uint8_t count)
{
    return {station, 0x03, 0x00, start, 0x00, count};
}

} // namespace kv

#pragma once

#include "protocol/modbus/crc16.h"
#include "protocol/modbus/hex_text.h"

#include <QByteArray>

#include <initializer_list>
#include <span>

namespace kv::test {

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(static_cast<char>(value));
    return result;
}

inline std::span<const std::uint8_t> asBytes(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

// The bytes followed by their CRC, low-order byte first.
inline QByteArray framed(const QByteArray& head)
{
    const std::uint16_t crc = crc16Modbus(asBytes(head));
    return head + bytes({crc & 0xFF, crc >> 8});
}

inline QByteArray framed(std::initializer_list<int> values)
{
    return framed(bytes(values));
}

// A read reply from the station (2 unless told) carrying the given register
// values, with its CRC.
inline QByteArray readReply(std::initializer_list<int> registers, int station = 2)
{
    QByteArray reply = bytes({station, 0x03, static_cast<int>(2 * registers.size())});
    for (int value : registers)
        reply += bytes({value >> 8, value & 0xFF});
    return framed(reply);
}

// The text a sent frame shows in the window.
inline QString sentHex(const QByteArray& frame)
{
    return sentFrameText(asBytes(frame));
}

} // namespace kv::test

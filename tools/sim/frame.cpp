#include "frame.h"

#include "protocol/modbus/crc16.h"

#include <QByteArray>

namespace kv::sim {

Frame withCrc(Frame body)
{
    const std::uint16_t crc = crc16Modbus(body);
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

bool hasIntactCrc(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 3)
        return false;
    const std::uint16_t crc = crc16Modbus(frame.first(frame.size() - 2));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

QString hexText(std::span<const std::uint8_t> bytes)
{
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    return QString::fromLatin1(raw.toHex(' ').toUpper());
}

} // namespace kv::sim

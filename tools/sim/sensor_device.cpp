#include "sensor_device.h"

#include "protocol/kv9240b/request_frames.h"
#include "protocol/kv9240b/setting_value.h"

#include <algorithm>
#include <limits>

namespace kv::sim {

namespace {

constexpr std::uint8_t ReadHoldingRegisters = 0x03;
constexpr std::uint8_t WriteSingleRegister = 0x06;
constexpr std::uint8_t ExceptionFlag = 0x80;

constexpr std::uint8_t IllegalFunction = 0x01;
constexpr std::uint8_t IllegalDataAddress = 0x02;
constexpr std::uint8_t IllegalDataValue = 0x03;

constexpr std::uint16_t TemperatureCalibrationAddress = 0x0A00;
constexpr std::uint16_t HumidityCalibrationAddress = 0x0A02;
constexpr std::uint16_t BaudRateAddress = 0x0A04;
constexpr std::uint16_t FirstSpareAddress = 0x0A06;
constexpr std::uint16_t LastSpareAddress = 0x0A0A;
constexpr std::uint16_t StationAddress = 0x0B00;

// Calibration offsets are limited to +-10.00.
constexpr int CalibrationLimit = 1000;
// Request frames for both functions: station, function, two words, CRC.
constexpr std::size_t RequestSize = 8;

std::uint16_t wordAt(std::span<const std::uint8_t> frame, std::size_t at)
{
    return static_cast<std::uint16_t>(frame[at] << 8 | frame[at + 1]);
}

// A signed value as a register holds it: two's complement, saturated to 16 bits.
std::uint16_t asRegister(int value)
{
    const int clamped
        = std::clamp<int>(value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(clamped));
}

} // namespace

SensorDevice::SensorDevice(std::uint8_t station, int baudRate)
    : m_station(station)
    , m_baudRate(baudRate)
{
}

void SensorDevice::setMeasured(int temperature, int humidity)
{
    m_measuredTemperature = temperature;
    m_measuredHumidity = humidity;
}

Reception SensorDevice::receive(std::span<const std::uint8_t> frame) const
{
    // Station, function and CRC at the least.
    if (frame.size() < 4)
        return Reception::TooShort;
    if (!hasIntactCrc(frame))
        return Reception::BadCrc;
    if (frame[0] != m_station && frame[0] != AnyStation)
        return Reception::OtherStation;
    return Reception::Accepted;
}

Frame SensorDevice::answer(std::span<const std::uint8_t> request)
{
    if (receive(request) != Reception::Accepted)
        return {};
    switch (request[1]) {
    case ReadHoldingRegisters:
        return read(request);
    case WriteSingleRegister:
        return write(request);
    default:
        return exception(request, IllegalFunction);
    }
}

Frame SensorDevice::exception(std::span<const std::uint8_t> request, std::uint8_t code) const
{
    return withCrc({m_station, static_cast<std::uint8_t>(request[1] | ExceptionFlag), code});
}

std::uint16_t SensorDevice::registerValue(int index) const
{
    switch (index) {
    case 0:
        return asRegister(m_measuredTemperature + m_temperatureCalibration);
    case 1:
        return asRegister(m_measuredHumidity + m_humidityCalibration);
    case 2:
        return asRegister(m_temperatureCalibration);
    case 3:
        return asRegister(m_humidityCalibration);
    case 4:
        return static_cast<std::uint16_t>(m_baudRate);
    default:
        return m_spare.at(static_cast<std::size_t>(index - 5));
    }
}

Frame SensorDevice::read(std::span<const std::uint8_t> request) const
{
    // A request of the wrong length carries no usable quantity.
    if (request.size() != RequestSize)
        return exception(request, IllegalDataValue);
    const int first = wordAt(request, 2);
    const int count = wordAt(request, 4);
    if (count < 1 || count > RegisterCount)
        return exception(request, IllegalDataValue);
    if (first + count > RegisterCount)
        return exception(request, IllegalDataAddress);

    Frame reply{m_station, ReadHoldingRegisters, static_cast<std::uint8_t>(2 * count)};
    for (int index = first; index < first + count; ++index) {
        const std::uint16_t value = registerValue(index);
        reply.push_back(static_cast<std::uint8_t>(value >> 8));
        reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    return withCrc(std::move(reply));
}

Frame SensorDevice::write(std::span<const std::uint8_t> request)
{
    if (request.size() != RequestSize)
        return exception(request, IllegalDataValue);
    const std::uint16_t address = wordAt(request, 2);
    const std::uint16_t value = wordAt(request, 4);
    const int signedValue = static_cast<std::int16_t>(value);
    const bool calibrationInRange = signedValue >= -CalibrationLimit && signedValue <= CalibrationLimit;

    switch (address) {
    case TemperatureCalibrationAddress:
        if (!calibrationInRange)
            return exception(request, IllegalDataValue);
        m_temperatureCalibration = signedValue;
        break;
    case HumidityCalibrationAddress:
        if (!calibrationInRange)
            return exception(request, IllegalDataValue);
        m_humidityCalibration = signedValue;
        break;
    case BaudRateAddress:
        // The register changes now; the line follows once this reply is out.
        if (!isSupportedBaudRate(value))
            return exception(request, IllegalDataValue);
        m_baudRate = value;
        break;
    case StationAddress: {
        // Renumbering through the shared station would renumber every sensor on the bus.
        if (request[0] != m_station)
            return exception(request, IllegalDataAddress);
        if (value < 1 || value > AnyStation)
            return exception(request, IllegalDataValue);
        Frame reply = echo(request); // still from the old station
        m_station = static_cast<std::uint8_t>(value);
        return reply;
    }
    default:
        if (address < FirstSpareAddress || address > LastSpareAddress || address % 2 != 0)
            return exception(request, IllegalDataAddress);
        m_spare.at((address - FirstSpareAddress) / 2u) = value;
        break;
    }
    return echo(request);
}

Frame SensorDevice::echo(std::span<const std::uint8_t> request) const
{
    Frame body(request.begin(), request.end() - 2);
    body[0] = m_station;
    return withCrc(std::move(body));
}

} // namespace kv::sim

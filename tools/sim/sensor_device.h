#pragma once

#include "frame.h"
#include "protocol/kv9240b/request_frames.h"

#include <array>
#include <cstdint>
#include <span>

namespace kv::sim {

// Why a frame does or does not get an answer.
enum class Reception { Accepted, TooShort, BadCrc, OtherStation };

// The sensor as its Modbus registers show it. Holding registers:
//   0 temperature, 1 humidity (hundredths, measured value plus calibration)
//   2 temperature calibration, 3 humidity calibration (hundredths, signed)
//   4 baud rate, 5..7 the last values written to 0x0A06, 0x0A08, 0x0A0A
class SensorDevice {
public:
    // Every sensor answers this station as well as its own, so a lost address can be found.
    static constexpr std::uint8_t AnyStation = 250;
    static constexpr int RegisterCount = 8;

    SensorDevice(std::uint8_t station, int baudRate);

    // What the sensing element delivers right now, in hundredths.
    void setMeasured(int temperature, int humidity);

    Reception receive(std::span<const std::uint8_t> frame) const;

    // The reply to a request, having carried out what it asks; empty for a
    // frame the sensor does not accept (it stays silent then).
    Frame answer(std::span<const std::uint8_t> request);

    // An exception reply to an accepted request, from this sensor's station.
    Frame exception(std::span<const std::uint8_t> request, std::uint8_t code) const;

    std::uint8_t station() const { return m_station; }
    int baudRate() const { return m_baudRate; }
    std::uint16_t registerValue(int index) const;

private:
    Frame read(std::span<const std::uint8_t> request) const;
    Frame write(std::span<const std::uint8_t> request);
    Frame echo(std::span<const std::uint8_t> request) const;

    std::uint8_t m_station;
    int m_baudRate;
    int m_measuredTemperature = 0;
    int m_measuredHumidity = 0;
    int m_temperatureCalibration = 0;
    int m_humidityCalibration = 0;
    std::array<std::uint16_t, 3> m_spare{};
};

} // namespace kv::sim

#pragma once

#include "frame.h"
#include "measurement_model.h"
#include "sensor_device.h"

#include <QRandomGenerator>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kv::sim {

// One sensor on the line: its registers and what its sensing element reads.
struct BusSensor {
    SensorDevice device;
    MeasurementModel measurement;
};

// The sensors sharing one two-wire line. A request reaches the sensor with its
// station, or every sensor through the shared station; a sensor hears it only
// when it was sent at the rate the sensor listens at.
class SensorBus {
public:
    // Who a request reaches, by whether they can read it at the rate it came at.
    struct Audience {
        std::vector<std::size_t> hearing;
        std::vector<std::size_t> deaf;
    };

    explicit SensorBus(std::vector<BusSensor> sensors);

    std::size_t size() const { return m_sensors.size(); }
    const SensorDevice& device(std::size_t index) const { return m_sensors.at(index).device; }

    // Accepted when some sensor takes the frame as meant for it; otherwise why
    // not (every sensor sees the same length and CRC, so the first one speaks for all).
    Reception receive(std::span<const std::uint8_t> request) const;

    Audience audience(std::span<const std::uint8_t> request, int sentAtBaudRate) const;

    // Each of the given sensors takes a measurement, then carries out the
    // request and replies; with an exception code each reports that failure
    // instead and leaves the request undone. One reply per sensor, in order.
    std::vector<Frame> answer(std::span<const std::uint8_t> request, std::span<const std::size_t> sensors,
        std::chrono::duration<double> sinceStart, std::optional<std::uint8_t> exceptionCode);

private:
    std::vector<BusSensor> m_sensors;
};

// The sensors as the command line lays them out, all at one rate: the i-th
// listed (counting from 0) reads i x 1.00 degree and i x 2.00 %RH more than
// the values given (humidity at most 100), each with a drift of its own.
SensorBus layOutBus(std::span<const std::uint8_t> stations, int baudRate, double temperature, double humidity,
    bool drift, QRandomGenerator& random);

// What a receiver makes of several replies sent at once: one frame as long as
// the longest, their bits overlaid (a bit reads 1 only where every driver sent
// 1, one plausible outcome of drivers fighting), with a CRC that does not check.
Frame collide(std::span<const Frame> replies);

} // namespace kv::sim

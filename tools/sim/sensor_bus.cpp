#include "sensor_bus.h"

#include <algorithm>

namespace kv::sim {

namespace {

// The spread between neighbouring sensors in a laid-out bus: degrees and %RH.
constexpr double TemperatureStep = 1.00;
constexpr double HumidityStep = 2.00;
constexpr double HumidityCeiling = 100.0;

} // namespace

SensorBus::SensorBus(std::vector<BusSensor> sensors)
    : m_sensors(std::move(sensors))
{
}

Reception SensorBus::receive(std::span<const std::uint8_t> request) const
{
    for (const BusSensor& sensor : m_sensors) {
        if (sensor.device.receive(request) == Reception::Accepted)
            return Reception::Accepted;
    }
    return m_sensors.empty() ? Reception::OtherStation : m_sensors.front().device.receive(request);
}

SensorBus::Audience SensorBus::audience(std::span<const std::uint8_t> request, int sentAtBaudRate) const
{
    Audience audience;
    for (std::size_t index = 0; index < m_sensors.size(); ++index) {
        const SensorDevice& device = m_sensors[index].device;
        if (device.receive(request) != Reception::Accepted)
            continue;
        (device.baudRate() == sentAtBaudRate ? audience.hearing : audience.deaf).push_back(index);
    }
    return audience;
}

std::vector<Frame> SensorBus::answer(std::span<const std::uint8_t> request, std::span<const std::size_t> sensors,
    std::chrono::duration<double> sinceStart, std::optional<std::uint8_t> exceptionCode)
{
    std::vector<Frame> replies;
    for (const std::size_t index : sensors) {
        BusSensor& sensor = m_sensors.at(index);
        const Measured measured = sensor.measurement.at(sinceStart);
        sensor.device.setMeasured(measured.temperature, measured.humidity);
        replies.push_back(
            exceptionCode ? sensor.device.exception(request, *exceptionCode) : sensor.device.answer(request));
    }
    return replies;
}

SensorBus layOutBus(std::span<const std::uint8_t> stations, int baudRate, double temperature, double humidity,
    bool drift, QRandomGenerator& random)
{
    std::vector<BusSensor> sensors;
    sensors.reserve(stations.size());
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const double step = static_cast<double>(i);
        const double ownHumidity = std::min(humidity + step * HumidityStep, HumidityCeiling);
        sensors.push_back({SensorDevice(stations[i], baudRate),
            MeasurementModel(temperature + step * TemperatureStep, ownHumidity, drift, random)});
    }
    return SensorBus(std::move(sensors));
}

Frame collide(std::span<const Frame> replies)
{
    std::size_t length = 0;
    for (const Frame& reply : replies)
        length = std::max(length, reply.size());
    // An idle line reads as 1s, so where a shorter reply has ended it adds nothing.
    Frame line(length, 0xFF);
    for (const Frame& reply : replies) {
        for (std::size_t i = 0; i < reply.size(); ++i)
            line[i] &= reply[i];
    }
    // Two drivers never start on the same bit edge, so even replies whose
    // overlay happens to check would not arrive whole.
    if (hasIntactCrc(line))
        line.back() ^= 0x01;
    return line;
}

} // namespace kv::sim

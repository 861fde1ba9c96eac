#include "measurement_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kv::sim {

namespace {

struct Swing {
    double amplitude;
    double periodSeconds;
    double noise; // peak of the uniform noise
};

// Periods apart so the two curves do not move in step.
constexpr Swing TemperatureSwing{0.30, 60.0, 0.02};
constexpr Swing HumiditySwing{0.50, 97.0, 0.05};

int hundredths(double value)
{
    return static_cast<int>(std::lround(value * 100.0));
}

} // namespace

MeasurementModel::MeasurementModel(double temperature, double humidity, bool drift, QRandomGenerator& random)
    : m_temperature(temperature)
    , m_humidity(humidity)
    , m_drift(drift)
    , m_random(random)
{
    if (m_drift) {
        m_temperaturePhase = m_random.bounded(2 * std::numbers::pi);
        m_humidityPhase = m_random.bounded(2 * std::numbers::pi);
    }
}

Measured MeasurementModel::at(std::chrono::duration<double> sinceStart)
{
    if (!m_drift)
        return {hundredths(m_temperature), hundredths(m_humidity)};

    const auto swing = [&](const Swing& shape, double phase) {
        const double angle = 2 * std::numbers::pi * sinceStart.count() / shape.periodSeconds + phase;
        const double noise = (2 * m_random.generateDouble() - 1) * shape.noise;
        return shape.amplitude * std::sin(angle) + noise;
    };
    const double temperature = m_temperature + swing(TemperatureSwing, m_temperaturePhase);
    const double humidity = std::clamp(m_humidity + swing(HumiditySwing, m_humidityPhase), 0.0, 100.0);
    return {hundredths(temperature), hundredths(humidity)};
}

} // namespace kv::sim

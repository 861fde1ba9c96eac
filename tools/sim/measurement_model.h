#pragma once

#include <QRandomGenerator>

#include <chrono>

namespace kv::sim {

// Values in hundredths, as the registers hold them.
struct Measured {
    int temperature = 0;
    int humidity = 0;
};

// What the sensing element reads over time: fixed values, or with drift a
// slow swing of a few tenths plus a little noise so a polling window visibly lives.
class MeasurementModel {
public:
    MeasurementModel(double temperature, double humidity, bool drift, QRandomGenerator& random);

    Measured at(std::chrono::duration<double> sinceStart);

private:
    double m_temperature;
    double m_humidity;
    bool m_drift;
    QRandomGenerator& m_random;
    // Drawn once so each seed gives its own but repeatable curve.
    double m_temperaturePhase = 0;
    double m_humidityPhase = 0;
};

} // namespace kv::sim

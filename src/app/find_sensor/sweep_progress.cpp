#include "app/find_sensor/sweep_progress.h"

namespace kv {

void SweepProgress::begin(const SweepPlan& plan)
{
    m_devices.clear();
    for (qsizetype index = 0; index < plan.devices.size(); ++index)
        m_devices.insert(plan.devices[index], index);
    m_rates = plan.baudRates;
    m_maximum = static_cast<int>(plan.devices.size() * plan.baudRates.size()) * StepSize;
}

int SweepProgress::at(const QString& device, int baudRate, int station) const
{
    const qsizetype step
        = m_devices.value(device, 0) * m_rates.size() + std::max<qsizetype>(m_rates.indexOf(baudRate), 0);
    int within = 0;
    if (station >= SensorSweep::FirstStation && station <= SensorSweep::LastStation)
        within = (station - SensorSweep::FirstStation) * StepSize
            / (SensorSweep::LastStation - SensorSweep::FirstStation + 1);
    return std::min(static_cast<int>(step) * StepSize + within, m_maximum);
}

} // namespace kv

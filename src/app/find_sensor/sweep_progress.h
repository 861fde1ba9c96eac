#pragma once

#include "session/sensor_sweep.h"

#include <QHash>
#include <QString>

namespace kv {

// How far a search has come, for a progress bar, from what it is trying.
// Every port and rate is one equal step; a station scan fills its step
// station by station. A scan only starts where it is needed, so the bar is a
// guide, not a promise: it moves forward and is full at the end.
class SweepProgress {
public:
    static constexpr int StepSize = 1000;

    void begin(const SweepPlan& plan);
    int maximum() const { return m_maximum; }
    // The bar's value once `station` is asked on `device` at `baudRate`.
    int at(const QString& device, int baudRate, int station) const;

private:
    QHash<QString, qsizetype> m_devices;
    QList<int> m_rates;
    int m_maximum = 0;
};

} // namespace kv

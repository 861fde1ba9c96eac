#pragma once

#include "session/reading.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace kv {

// Limits a reading is held to; an empty bound holds nothing.
struct SensorLimits {
    std::optional<double> temperatureLow, temperatureHigh;
    std::optional<double> humidityLow, humidityHigh;

    // Whether the reading's values lie outside a bound.
    bool breachedBy(const Measurement& values) const;
};

// One sensor of the overview: what the user set up, kept between runs...
struct OverviewSensor {
    QString name;
    int port = 1;        // COMn
    int baudRate = 9600; // of its line
    std::uint8_t station = 1;
    SensorLimits limits;

    // ...and what its readings say since it was added (not kept).
    std::optional<Reading> last;
    QDateTime lastSound; // time of the last sound reading
    std::optional<double> minTemperature, maxTemperature, minHumidity, maxHumidity;
    qint64 exchanges = 0, sound = 0, breaches = 0;
    QDateTime breachSince; // set while the values lie outside the limits

    // The name a sensor gets when added: "COM2 站 7".
    static QString defaultName(int port, int station);
    // Takes a reading in: last outcome, extremes, share of sound exchanges, limits.
    void take(const Reading& reading);
    bool silent() const { return last && !last->ok(); }

    QJsonObject toJson() const;
    static std::optional<OverviewSensor> fromJson(const QJsonObject& object);
};

// The overview's sensors as a small file to hand to a colleague: JSON with a
// format name and the sensors' set-up. Nothing for a file of another kind.
QByteArray overviewFileText(const QList<OverviewSensor>& sensors);
std::optional<QList<OverviewSensor>> readOverviewFile(const QByteArray& text);

} // namespace kv

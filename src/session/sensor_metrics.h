#pragma once

#include "session/reading.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>

namespace kv {

// A sensor as monitoring names it: the line and port it answers on, its
// station, its name and any labels the user gave it.
struct MetricSensor {
    QString line;
    QString port;
    std::uint8_t station = 0;
    QString name;
    QList<QPair<QString, QString>> labels;
};

// What the polls found, kept as Prometheus' text exposition format shows it:
// per sensor the latest sound values, whether its last exchange succeeded,
// when it last read soundly, its exchanges by outcome and a histogram of its
// response times; per line whether its port or gateway is open. Reading the
// page only reads these figures; nothing here asks a sensor.
class SensorMetrics {
public:
    // Upper bounds of the response time histogram, in seconds.
    static constexpr std::array<double, 9> ResponseBuckets{0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5};

    // After this long without a sound reading a sensor's values leave the
    // page: better no number than an old one shown as current.
    void setStaleness(std::chrono::milliseconds staleness) { m_staleness = staleness; }

    // The lines and sensors served now. Figures of sensors and lines still
    // served are kept (counters never go back); the others are dropped.
    void setSensors(const QList<MetricSensor>& sensors);

    // Whether the line's port or gateway is open; unknown lines are ignored.
    void setLineUp(const QString& line, bool up);
    // Every exchange with a sensor, retries included.
    void record(const QString& line, const Reading& reading);

    // The page at wall-clock time nowMs (milliseconds since the epoch).
    QByteArray page(qint64 nowMs) const;

private:
    struct SensorState {
        MetricSensor sensor;
        std::optional<bool> lastOk;
        std::optional<Measurement> values; // of the last sound reading
        qint64 lastSoundMs = 0;
        std::map<QString, quint64> outcomes; // status code -> exchanges
        std::array<quint64, ResponseBuckets.size()> buckets{};
        quint64 responses = 0;
        double responseSum = 0;
    };
    struct LineState {
        QString port;
        bool up = false;
    };

    std::chrono::milliseconds m_staleness{30'000};
    std::map<std::pair<QString, int>, SensorState> m_sensors; // by line and station, in that order
    std::map<QString, LineState> m_lines;
};

// A label value as the exposition format writes it between quotes.
QString escapedLabelValue(const QString& value);

} // namespace kv

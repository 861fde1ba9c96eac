#pragma once

#include "cli/serve/serve_config.h"
#include "session/sensor_metrics.h"

#include <QObject>

#include <memory>
#include <vector>

namespace kv::cli {

class MetricsEndpoint;
class MqttPublisher;
class ServedLine;

// What `serve` runs: a ServedLine for each line of the configuration, the
// figures the polls found, and the outputs they go to (the Prometheus
// endpoint, the MQTT broker). A new configuration replaces the lines whose
// settings changed, after their exchange in flight; the others poll on.
class ServeBridge : public QObject {
    Q_OBJECT

public:
    explicit ServeBridge(QObject* parent = nullptr);
    ~ServeBridge() override;

    // Starts with this configuration, or takes a new one over. False, with
    // the reason, when an output cannot start (the running one is kept).
    bool apply(const ServeConfig& config, QString& problem);
    // Ends every line after its exchange in flight, says every sensor
    // offline, and emits stopped().
    void stop();

signals:
    void stopped();

private:
    void startLine(const ServedLineConfig& line);
    void lineStopped(ServedLine* line);
    void startPending();
    QList<MetricSensor> metricSensors() const;

    std::optional<ServeConfig> m_config;
    SensorMetrics m_metrics;
    std::unique_ptr<MetricsEndpoint> m_endpoint;
    std::unique_ptr<MqttPublisher> m_mqtt;
    std::vector<std::unique_ptr<ServedLine>> m_lines;
    std::vector<ServedLine*> m_retiring; // stopping, to be replaced or dropped
    QList<ServedLineConfig> m_pending;   // to start once the retiring ones have stopped
    bool m_stopping = false;
};

} // namespace kv::cli

#pragma once

#include <QHostAddress>
#include <QString>

#include <memory>

class QHttpServer;

namespace kv {
class SensorMetrics;
}

namespace kv::cli {

// The HTTP face of the metrics for Prometheus: GET /metrics answers with
// the page of what the polls found so far. A scrape never asks a sensor.
class MetricsEndpoint {
public:
    explicit MetricsEndpoint(const SensorMetrics& metrics);
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    // Listens on host:port (port 0: a free one); false with the reason when it cannot.
    bool listen(const QString& host, quint16 port, QString& problem);
    // The address it listens on, as "http://HOST:PORT/metrics".
    QString url() const;

private:
    const SensorMetrics& m_metrics;
    std::unique_ptr<QHttpServer> m_server;
    QHostAddress m_address;
    quint16 m_port = 0;
};

} // namespace kv::cli

#include "cli/serve/metrics_endpoint.h"

#include "cli/serve/scrape_listener.h"
#include "session/sensor_metrics.h"

#include <QDateTime>
#include <QHttpServer>
#include <QHttpServerResponse>

namespace kv::cli {

MetricsEndpoint::MetricsEndpoint(const SensorMetrics& metrics)
    : m_metrics(metrics)
    , m_server(std::make_unique<QHttpServer>())
{
    m_server->route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [this] {
        return QHttpServerResponse(QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
            m_metrics.page(QDateTime::currentMSecsSinceEpoch()));
    });
    m_server->route(QStringLiteral("/"), QHttpServerRequest::Method::Get, [] {
        return QHttpServerResponse(QByteArrayLiteral("text/plain; charset=utf-8"),
            QByteArrayLiteral("kv9240b serve: the metrics are at /metrics\n"));
    });
}

MetricsEndpoint::~MetricsEndpoint() = default;

bool MetricsEndpoint::listen(const QString& host, quint16 port, QString& problem)
{
    const QHostAddress address(host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : host);
    if (address.isNull()) {
        problem = QStringLiteral("metrics: '%1' is not an IP address to listen on").arg(host);
        return false;
    }
    auto* listener = new ScrapeListener(m_server.get());
    if (!listener->listen(address, port)) {
        problem = QStringLiteral("metrics: cannot listen on %1:%2").arg(host).arg(port);
        delete listener;
        return false;
    }
    m_server->bind(listener);
    m_port = listener->serverPort();
    m_address = address;
    return true;
}

QString MetricsEndpoint::url() const
{
    const QString host = m_address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(m_address.toString())
        : m_address.toString();
    return QStringLiteral("http://%1:%2/metrics").arg(host).arg(m_port);
}

} // namespace kv::cli

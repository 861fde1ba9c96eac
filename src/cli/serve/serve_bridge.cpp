#include "cli/serve/serve_bridge.h"

#include "cli/line.h"
#include "cli/serve/metrics_endpoint.h"
#include "cli/serve/mqtt_publisher.h"
#include "cli/serve/served_line.h"

#include <algorithm>

namespace kv::cli {

namespace {

// Whether a running line can go on under the new configuration.
bool samePolling(const ServeConfig& a, const ServeConfig& b)
{
    return a.interval == b.interval && a.retries == b.retries && a.timeout == b.timeout;
}

} // namespace

ServeBridge::ServeBridge(QObject* parent)
    : QObject(parent)
{
}

ServeBridge::~ServeBridge() = default;

QList<MetricSensor> ServeBridge::metricSensors() const
{
    QList<MetricSensor> sensors;
    for (const ServedLineConfig& line : m_config->lines) {
        for (const ServedSensor& sensor : line.sensors)
            sensors.append({line.name, line.port, sensor.station, sensor.name, sensor.labels});
    }
    return sensors;
}

bool ServeBridge::apply(const ServeConfig& config, QString& problem)
{
    // The outputs first: one that cannot start leaves everything as it was.
    std::unique_ptr<MetricsEndpoint> endpoint;
    const bool newEndpoint
        = config.prometheus.enabled && (!m_endpoint || !m_config || m_config->prometheus != config.prometheus);
    if (newEndpoint) {
        endpoint = std::make_unique<MetricsEndpoint>(m_metrics);
        if (!endpoint->listen(config.prometheus.host, config.prometheus.port, problem))
            return false;
    }
    std::unique_ptr<MqttPublisher> mqtt;
    const bool newMqtt = config.mqtt.enabled && (!m_mqtt || !m_config || m_config->mqtt != config.mqtt);
    if (newMqtt) {
        mqtt = std::make_unique<MqttPublisher>(config.mqtt);
        if (!mqtt->prepare(problem))
            return false;
    }

    const bool polling = m_config && samePolling(*m_config, config);
    if (newEndpoint) {
        m_endpoint = std::move(endpoint);
        complain(QStringLiteral("metrics at %1").arg(m_endpoint->url()));
    } else if (!config.prometheus.enabled && m_endpoint) {
        m_endpoint.reset();
        complain(QStringLiteral("metrics endpoint closed"));
    }

    // Lines: the unchanged ones poll on, the rest are stopped and (re)started.
    m_pending.clear();
    for (const ServedLineConfig& line : config.lines) {
        const auto running = std::find_if(m_lines.begin(), m_lines.end(), [&](const auto& served) {
            return polling && served->config() == line
                && std::find(m_retiring.begin(), m_retiring.end(), served.get()) == m_retiring.end();
        });
        if (running == m_lines.end())
            m_pending.append(line);
    }
    for (const auto& served : m_lines) {
        const bool kept = polling && config.lines.contains(served->config());
        if (!kept && std::find(m_retiring.begin(), m_retiring.end(), served.get()) == m_retiring.end()) {
            m_retiring.push_back(served.get());
            served->stop();
        }
    }
    if (newMqtt) {
        // The old client leaves before the new one, which may carry the same client id, arrives.
        if (m_mqtt)
            m_mqtt->finish();
        m_mqtt = std::move(mqtt);
        m_mqtt->start();
    } else if (!config.mqtt.enabled && m_mqtt) {
        m_mqtt->finish();
        m_mqtt.reset();
    }
    m_config = config;
    m_metrics.setStaleness(config.staleness());
    m_metrics.setSensors(metricSensors());
    for (const auto& served : m_lines)
        m_metrics.setLineUp(served->config().name, served->isUp());
    if (m_mqtt)
        m_mqtt->setSensors(config.lines);
    startPending();
    return true;
}

void ServeBridge::startPending()
{
    if (!m_retiring.empty() || m_stopping)
        return;
    for (const ServedLineConfig& line : std::exchange(m_pending, {}))
        startLine(line);
}

void ServeBridge::startLine(const ServedLineConfig& line)
{
    auto served = std::make_unique<ServedLine>(line, *m_config);
    ServedLine* raw = served.get();
    const QString name = line.name;
    connect(raw, &ServedLine::upChanged, this, [this, name, raw](bool up) {
        m_metrics.setLineUp(name, up);
        if (!up && m_mqtt)
            m_mqtt->publishLineOffline(raw->config());
    });
    connect(raw, &ServedLine::read, this, [this, name](const Reading& reading) {
        if (m_mqtt)
            m_mqtt->publishReading(name, reading);
    });
    connect(
        raw, &ServedLine::exchanged, this, [this, name](const Reading& reading) { m_metrics.record(name, reading); });
    connect(raw, &ServedLine::stopped, this, [this, raw] { lineStopped(raw); });
    m_lines.push_back(std::move(served));
    raw->start();
}

void ServeBridge::lineStopped(ServedLine* line)
{
    std::erase(m_retiring, line);
    // Its sensors stay online through a reload; those dropped and, at the end,
    // all of them are said offline by the publisher itself.
    // Deleted later: this runs inside the line's own signal.
    const auto found
        = std::find_if(m_lines.begin(), m_lines.end(), [&](const auto& served) { return served.get() == line; });
    if (found != m_lines.end()) {
        found->release()->deleteLater();
        m_lines.erase(found);
    }
    if (!m_retiring.empty())
        return;
    if (m_stopping) {
        if (m_mqtt)
            m_mqtt->finish();
        emit stopped();
        return;
    }
    startPending();
}

void ServeBridge::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_pending.clear();
    for (const auto& served : m_lines) {
        if (std::find(m_retiring.begin(), m_retiring.end(), served.get()) == m_retiring.end()) {
            m_retiring.push_back(served.get());
            served->stop();
        }
    }
    if (m_retiring.empty()) {
        if (m_mqtt)
            m_mqtt->finish();
        QMetaObject::invokeMethod(this, &ServeBridge::stopped, Qt::QueuedConnection);
    }
}

} // namespace kv::cli

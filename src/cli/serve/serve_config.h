#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

namespace kv::cli {

// One sensor a line carries: its station and the names monitoring knows it by.
struct ServedSensor {
    std::uint8_t station = 1;
    QString name;                          // unique on its line; letters, digits, '_' and '-'
    QList<QPair<QString, QString>> labels; // extra Prometheus labels, in the file's order

    friend bool operator==(const ServedSensor&, const ServedSensor&) = default;
};

// One line: a serial port at a rate, or a gateway as -p names one.
struct ServedLineConfig {
    QString name; // unique; letters, digits, '_' and '-'
    QString port; // COM<n>, a device path, tcp://HOST:PORT or modbus-tcp://HOST[:PORT]
    int baudRate = 9600;
    QList<ServedSensor> sensors;

    friend bool operator==(const ServedLineConfig&, const ServedLineConfig&) = default;
};

struct PrometheusConfig {
    bool enabled = true;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 9240;

    friend bool operator==(const PrometheusConfig&, const PrometheusConfig&) = default;
};

struct MqttConfig {
    bool enabled = false;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 1883;
    int protocolVersion = 4; // 4: MQTT 3.1.1, 5: MQTT 5
    QString clientId = QStringLiteral("kv9240b");
    QString topicPrefix = QStringLiteral("kv9240b");
    QString username;
    QString passwordFile; // the password is read from this file, or
    QString passwordEnv;  // from this environment variable; never from the config itself
    QString caFile;
    QString certFile;
    QString keyFile;
    int keepAliveSeconds = 30;
    int queueLimit = 1000; // messages kept while the broker is away
    bool homeAssistant = false;
    QString discoveryPrefix = QStringLiteral("homeassistant");

    friend bool operator==(const MqttConfig&, const MqttConfig&) = default;
};

// What `kv9240b serve` runs: its lines, how it polls them, and where the
// readings go.
struct ServeConfig {
    std::chrono::milliseconds interval{10'000};
    int retries = 1;                                     // further attempts after a failed exchange, within one poll
    std::optional<std::chrono::milliseconds> timeout;    // empty: derived from the rate
    std::optional<std::chrono::milliseconds> staleAfter; // empty: three intervals
    QList<ServedLineConfig> lines;
    PrometheusConfig prometheus;
    MqttConfig mqtt;

    std::chrono::milliseconds staleness() const { return staleAfter.value_or(interval * 3); }
    friend bool operator==(const ServeConfig&, const ServeConfig&) = default;
};

// A configuration read, or the reason it was refused as "FILE:LINE: reason".
struct ServeConfigResult {
    std::optional<ServeConfig> config;
    QString problem;
};

// Reads a configuration from TOML text; `fileName` is how problems name it.
// Any fault refuses the whole file: unknown keys, wrong types, values out of
// range, names twice, a port on two lines.
ServeConfigResult readServeConfig(const QByteArray& text, const QString& fileName);
// Reads the file; one that cannot be read is refused like a wrong one.
ServeConfigResult loadServeConfig(const QString& path);

} // namespace kv::cli

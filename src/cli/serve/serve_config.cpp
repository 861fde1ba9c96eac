#include "cli/serve/serve_config.h"

#include "cli/line_address.h"
#include "protocol/kv9240b/setting_value.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <toml++/toml.h>

#include <limits>
#include <string_view>

namespace kv::cli {

namespace {

// A fault in the file: where, and why. Thrown inside the reader only.
struct Refusal {
    std::uint32_t line;
    QString reason;
};

std::uint32_t lineOf(const toml::node& node)
{
    return node.source().begin.line;
}

QString qstring(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

[[noreturn]] void refuse(const toml::node& node, const QString& reason)
{
    throw Refusal{lineOf(node), reason};
}

// The keys a table may hold; any other is a typing mistake, refused.
void onlyKeys(const toml::table& table, std::initializer_list<std::string_view> known, const QString& where)
{
    for (auto&& [key, value] : table) {
        if (std::find(known.begin(), known.end(), key.str()) == known.end())
            refuse(value, QStringLiteral("unknown key '%1' in %2").arg(qstring(key.str()), where));
    }
}

qint64 integer(const toml::table& table, std::string_view key, qint64 fallback, qint64 low, qint64 high)
{
    const toml::node* node = table.get(key);
    if (!node)
        return fallback;
    const auto* value = node->as_integer();
    if (!value)
        refuse(*node, QStringLiteral("%1 must be a whole number").arg(qstring(key)));
    if (value->get() < low || value->get() > high)
        refuse(*node,
            QStringLiteral("%1 must be from %2 to %3, not %4").arg(qstring(key)).arg(low).arg(high).arg(value->get()));
    return value->get();
}

std::optional<QString> text(const toml::table& table, std::string_view key)
{
    const toml::node* node = table.get(key);
    if (!node)
        return std::nullopt;
    const auto* value = node->as_string();
    if (!value)
        refuse(*node, QStringLiteral("%1 must be a string in quotes").arg(qstring(key)));
    return qstring(value->get());
}

bool flag(const toml::table& table, std::string_view key, bool fallback)
{
    const toml::node* node = table.get(key);
    if (!node)
        return fallback;
    const auto* value = node->as_boolean();
    if (!value)
        refuse(*node, QStringLiteral("%1 must be true or false").arg(qstring(key)));
    return value->get();
}

const toml::table* subtable(const toml::table& table, std::string_view key)
{
    const toml::node* node = table.get(key);
    if (!node)
        return nullptr;
    if (!node->is_table())
        refuse(*node, QStringLiteral("[%1] must be a table").arg(qstring(key)));
    return node->as_table();
}

// Names travel into MQTT topics and Prometheus label values: kept plain.
void checkName(const toml::node& node, const QString& name, const QString& what)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    if (!plain.match(name).hasMatch())
        refuse(node, QStringLiteral("%1 '%2' must be 1 to 64 letters, digits, '_' or '-'").arg(what, name));
}

// "HOST:PORT", an IPv6 host in brackets.
std::pair<QString, quint16> hostAndPort(const toml::node& node, const QString& address, const QString& what)
{
    static const QRegularExpression form(QStringLiteral("^(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9.-]+):([0-9]{1,5})$"));
    const QRegularExpressionMatch match = form.match(address);
    const int port = match.hasMatch() ? match.captured(2).toInt() : 0;
    if (!match.hasMatch() || port > 65535)
        refuse(node, QStringLiteral("%1 must be HOST:PORT, not '%2'").arg(what, address));
    QString host = match.captured(1);
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - 2);
    return {host, static_cast<quint16>(port)};
}

std::chrono::milliseconds milliseconds(
    const toml::table& table, std::string_view key, qint64 fallback, qint64 low, qint64 high)
{
    return std::chrono::milliseconds(integer(table, key, fallback, low, high));
}

ServedSensor readSensor(const toml::table& table, const QString& lineName)
{
    onlyKeys(table, {"station", "name", "labels"}, QStringLiteral("a sensor of line '%1'").arg(lineName));
    ServedSensor sensor;
    if (!table.contains("station"))
        refuse(table, QStringLiteral("a sensor of line '%1' needs its station").arg(lineName));
    sensor.station = static_cast<std::uint8_t>(integer(table, "station", 1, 1, 247));
    sensor.name = text(table, "name").value_or(QStringLiteral("station%1").arg(sensor.station));
    checkName(table.get("name") ? *table.get("name") : static_cast<const toml::node&>(table), sensor.name,
        QStringLiteral("sensor name"));
    if (const toml::table* labels = subtable(table, "labels")) {
        static const QRegularExpression labelName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,63}$"));
        static const QSet<QString> reserved{QStringLiteral("line"), QStringLiteral("port"), QStringLiteral("station"),
            QStringLiteral("name"), QStringLiteral("outcome"), QStringLiteral("le")};
        for (auto&& [key, value] : *labels) {
            const QString name = qstring(key.str());
            if (!labelName.match(name).hasMatch() || name.startsWith(QLatin1String("__")))
                refuse(value,
                    QStringLiteral("label name '%1' must be a letter or '_' and then letters, digits or '_'")
                        .arg(name));
            if (reserved.contains(name))
                refuse(value, QStringLiteral("label '%1' is set by kv9240b itself").arg(name));
            const auto* labelValue = value.as_string();
            if (!labelValue)
                refuse(value, QStringLiteral("label '%1' must be a string in quotes").arg(name));
            sensor.labels.append({name, qstring(labelValue->get())});
        }
    }
    return sensor;
}

ServedLineConfig readLine(const toml::table& table)
{
    onlyKeys(table, {"name", "port", "baud", "sensor"}, QStringLiteral("a [[line]]"));
    ServedLineConfig line;
    const std::optional<QString> name = text(table, "name");
    if (!name)
        refuse(table, QStringLiteral("a [[line]] needs a name"));
    line.name = *name;
    checkName(*table.get("name"), line.name, QStringLiteral("line name"));
    const std::optional<QString> port = text(table, "port");
    if (!port || port->isEmpty())
        refuse(table, QStringLiteral("line '%1' needs a port: a device, COM<n> or a gateway address").arg(line.name));
    if (namesGateway(*port)) {
        QString problem;
        if (!readGatewayAddress(*port, problem))
            refuse(*table.get("port"), problem);
    }
    line.port = *port;
    line.baudRate = static_cast<int>(integer(table, "baud", 9600, 1, 19200));
    if (!isSupportedBaudRate(line.baudRate))
        refuse(*table.get("baud"), QStringLiteral("baud must be 2400, 4800, 9600 or 19200"));

    const toml::node* sensors = table.get("sensor");
    if (!sensors)
        refuse(table, QStringLiteral("line '%1' has no [[line.sensor]]").arg(line.name));
    const toml::array* list = sensors->as_array();
    if (!list || list->empty())
        refuse(*sensors, QStringLiteral("line '%1': sensor must be a list of tables ([[line.sensor]])").arg(line.name));
    QSet<int> stations;
    QSet<QString> names;
    for (const toml::node& entry : *list) {
        const toml::table* sensorTable = entry.as_table();
        if (!sensorTable)
            refuse(entry, QStringLiteral("line '%1': each sensor must be a table").arg(line.name));
        const ServedSensor sensor = readSensor(*sensorTable, line.name);
        if (stations.contains(sensor.station))
            refuse(entry, QStringLiteral("station %1 is twice on line '%2'").arg(sensor.station).arg(line.name));
        if (names.contains(sensor.name))
            refuse(entry, QStringLiteral("sensor name '%1' is twice on line '%2'").arg(sensor.name, line.name));
        stations.insert(sensor.station);
        names.insert(sensor.name);
        line.sensors.append(sensor);
    }
    return line;
}

PrometheusConfig readPrometheus(const toml::table& table)
{
    onlyKeys(table, {"enabled", "listen"}, QStringLiteral("[prometheus]"));
    PrometheusConfig prometheus;
    prometheus.enabled = flag(table, "enabled", true);
    if (const std::optional<QString> listen = text(table, "listen"))
        std::tie(prometheus.host, prometheus.port)
            = hostAndPort(*table.get("listen"), *listen, QStringLiteral("listen"));
    return prometheus;
}

MqttConfig readMqtt(const toml::table& table)
{
    onlyKeys(table,
        {"enabled", "broker", "protocol", "client_id", "topic_prefix", "username", "password_file", "password_env",
            "ca_file", "cert_file", "key_file", "keepalive_s", "queue_limit", "home_assistant", "discovery_prefix"},
        QStringLiteral("[mqtt]"));
    MqttConfig mqtt;
    mqtt.enabled = flag(table, "enabled", true);
    if (const std::optional<QString> broker = text(table, "broker"))
        std::tie(mqtt.host, mqtt.port) = hostAndPort(*table.get("broker"), *broker, QStringLiteral("broker"));
    if (mqtt.port == 0)
        refuse(*table.get("broker"), QStringLiteral("broker needs a port from 1 to 65535"));
    if (const std::optional<QString> protocol = text(table, "protocol")) {
        if (*protocol == QLatin1String("3.1.1"))
            mqtt.protocolVersion = 4;
        else if (*protocol == QLatin1String("5"))
            mqtt.protocolVersion = 5;
        else
            refuse(*table.get("protocol"), QStringLiteral("protocol must be \"3.1.1\" or \"5\""));
    }
    mqtt.clientId = text(table, "client_id").value_or(mqtt.clientId);
    if (mqtt.clientId.isEmpty())
        refuse(*table.get("client_id"), QStringLiteral("client_id must not be empty"));
    mqtt.topicPrefix = text(table, "topic_prefix").value_or(mqtt.topicPrefix);
    static const QRegularExpression topic(QStringLiteral("^[^#+\\s]+$"));
    if (!topic.match(mqtt.topicPrefix).hasMatch() || mqtt.topicPrefix.endsWith(QLatin1Char('/')))
        refuse(*table.get("topic_prefix"),
            QStringLiteral("topic_prefix must be a topic without '#', '+', spaces or a final '/'"));
    mqtt.username = text(table, "username").value_or(QString());
    mqtt.passwordFile = text(table, "password_file").value_or(QString());
    mqtt.passwordEnv = text(table, "password_env").value_or(QString());
    if (!mqtt.passwordFile.isEmpty() && !mqtt.passwordEnv.isEmpty())
        refuse(*table.get("password_env"), QStringLiteral("give password_file or password_env, not both"));
    if ((!mqtt.passwordFile.isEmpty() || !mqtt.passwordEnv.isEmpty()) && mqtt.username.isEmpty())
        refuse(table, QStringLiteral("a password needs a username"));
    mqtt.caFile = text(table, "ca_file").value_or(QString());
    mqtt.certFile = text(table, "cert_file").value_or(QString());
    mqtt.keyFile = text(table, "key_file").value_or(QString());
    if (mqtt.certFile.isEmpty() != mqtt.keyFile.isEmpty())
        refuse(table, QStringLiteral("cert_file and key_file go together"));
    if (!mqtt.certFile.isEmpty() && mqtt.caFile.isEmpty())
        refuse(table, QStringLiteral("a client certificate needs ca_file (TLS)"));
    mqtt.keepAliveSeconds = static_cast<int>(integer(table, "keepalive_s", 30, 5, 3600));
    mqtt.queueLimit = static_cast<int>(integer(table, "queue_limit", 1000, 0, 1'000'000));
    mqtt.homeAssistant = flag(table, "home_assistant", false);
    mqtt.discoveryPrefix = text(table, "discovery_prefix").value_or(mqtt.discoveryPrefix);
    if (!topic.match(mqtt.discoveryPrefix).hasMatch())
        refuse(*table.get("discovery_prefix"),
            QStringLiteral("discovery_prefix must be a topic without '#', '+' or spaces"));
    return mqtt;
}

ServeConfig readConfig(const toml::table& root)
{
    onlyKeys(root, {"poll_interval_ms", "retries", "timeout_ms", "stale_after_ms", "line", "prometheus", "mqtt"},
        QStringLiteral("the file"));
    ServeConfig config;
    config.interval = milliseconds(root, "poll_interval_ms", 10'000, 100, 3'600'000);
    config.retries = static_cast<int>(integer(root, "retries", 1, 0, 5));
    if (root.contains("timeout_ms"))
        config.timeout = milliseconds(root, "timeout_ms", 0, 1, 60'000);
    if (root.contains("stale_after_ms")) {
        config.staleAfter = milliseconds(root, "stale_after_ms", 0, 1, std::numeric_limits<int>::max());
        if (*config.staleAfter < config.interval)
            refuse(*root.get("stale_after_ms"), QStringLiteral("stale_after_ms must be at least poll_interval_ms"));
    }

    const toml::node* lines = root.get("line");
    if (!lines)
        throw Refusal{1, QStringLiteral("no [[line]]: nothing to serve")};
    const toml::array* list = lines->as_array();
    if (!list || list->empty())
        refuse(*lines, QStringLiteral("line must be a list of tables ([[line]])"));
    QSet<QString> names;
    QSet<QString> ports;
    for (const toml::node& entry : *list) {
        const toml::table* table = entry.as_table();
        if (!table)
            refuse(entry, QStringLiteral("each line must be a table ([[line]])"));
        ServedLineConfig line = readLine(*table);
        if (names.contains(line.name))
            refuse(entry, QStringLiteral("line name '%1' is twice in the file").arg(line.name));
        if (ports.contains(line.port))
            refuse(entry, QStringLiteral("port '%1' is on two lines: one line, one master").arg(line.port));
        names.insert(line.name);
        ports.insert(line.port);
        config.lines.append(std::move(line));
    }
    if (const toml::table* prometheus = subtable(root, "prometheus"))
        config.prometheus = readPrometheus(*prometheus);
    if (const toml::table* mqtt = subtable(root, "mqtt"))
        config.mqtt = readMqtt(*mqtt);
    return config;
}

} // namespace

ServeConfigResult readServeConfig(const QByteArray& text, const QString& fileName)
{
    ServeConfigResult result;
    try {
        const toml::table root = toml::parse(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        result.config = readConfig(root);
    } catch (const toml::parse_error& error) {
        result.problem = QStringLiteral("%1:%2: %3")
                             .arg(fileName)
                             .arg(error.source().begin.line)
                             .arg(qstring(error.description()));
    } catch (const Refusal& refusal) {
        result.problem = QStringLiteral("%1:%2: %3").arg(fileName).arg(refusal.line).arg(refusal.reason);
    }
    return result;
}

ServeConfigResult loadServeConfig(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("%1: %2").arg(path, file.errorString())};
    return readServeConfig(file.readAll(), path);
}

} // namespace kv::cli

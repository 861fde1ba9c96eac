#include "cli/serve/mqtt_publisher.h"

#include "cli/line.h"
#include "session/record_format.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>

#include <algorithm>

#include <mosquitto.h>

namespace kv::cli {

namespace {

constexpr int Qos = 1;
const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

// libmosquitto wants its library set up once per process.
void setUpLibrary()
{
    static const bool once = [] {
        mosquitto_lib_init();
        return true;
    }();
    Q_UNUSED(once);
}

QString brokerText(const MqttConfig& config)
{
    return QStringLiteral("%1:%2").arg(config.host).arg(config.port);
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

MqttPublisher::MqttPublisher(MqttConfig config, QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
{
    setUpLibrary();
}

MqttPublisher::~MqttPublisher()
{
    if (m_client) {
        mosquitto_loop_stop(m_client, true);
        mosquitto_destroy(m_client);
    }
}

bool MqttPublisher::prepare(QString& problem)
{
    QByteArray password;
    if (!m_config.passwordFile.isEmpty()) {
        QFile file(m_config.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            problem = QStringLiteral("mqtt: cannot read the password file %1: %2")
                          .arg(m_config.passwordFile, file.errorString());
            return false;
        }
        password = file.readAll();
        while (password.endsWith('\n') || password.endsWith('\r'))
            password.chop(1);
    } else if (!m_config.passwordEnv.isEmpty()) {
        if (!qEnvironmentVariableIsSet(m_config.passwordEnv.toLocal8Bit().constData())) {
            problem = QStringLiteral("mqtt: the environment variable %1 holding the password is not set")
                          .arg(m_config.passwordEnv);
            return false;
        }
        password = qgetenv(m_config.passwordEnv.toLocal8Bit().constData());
    }

    m_client = mosquitto_new(m_config.clientId.toUtf8().constData(), true, this);
    if (!m_client) {
        problem = QStringLiteral("mqtt: cannot make a client");
        return false;
    }
    mosquitto_int_option(
        m_client, MOSQ_OPT_PROTOCOL_VERSION, m_config.protocolVersion == 5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    mosquitto_reconnect_delay_set(m_client, 1, 60, true);
    if (!m_config.username.isEmpty()) {
        mosquitto_username_pw_set(
            m_client, m_config.username.toUtf8().constData(), password.isNull() ? nullptr : password.constData());
    }
    if (!m_config.caFile.isEmpty()) {
        const QByteArray ca = m_config.caFile.toLocal8Bit();
        const QByteArray cert = m_config.certFile.toLocal8Bit();
        const QByteArray key = m_config.keyFile.toLocal8Bit();
        const int result = mosquitto_tls_set(m_client, ca.constData(), nullptr,
            cert.isEmpty() ? nullptr : cert.constData(), key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (result != MOSQ_ERR_SUCCESS) {
            problem = QStringLiteral("mqtt: TLS files refused (%1)").arg(QString::fromUtf8(mosquitto_strerror(result)));
            return false;
        }
    }
    const QByteArray will = m_config.topicPrefix.toUtf8() + "/availability";
    mosquitto_will_set(m_client, will.constData(), static_cast<int>(Offline.size()), Offline.constData(), Qos, true);

    // The callbacks run on libmosquitto's thread: they only hand over to ours.
    mosquitto_connect_callback_set(m_client, [](mosquitto*, void* self, int code) {
        QMetaObject::invokeMethod(
            static_cast<MqttPublisher*>(self), [self, code] { static_cast<MqttPublisher*>(self)->onConnected(code); },
            Qt::QueuedConnection);
    });
    mosquitto_disconnect_callback_set(m_client, [](mosquitto*, void* self, int code) {
        QMetaObject::invokeMethod(
            static_cast<MqttPublisher*>(self),
            [self, code] { static_cast<MqttPublisher*>(self)->onDisconnected(code); }, Qt::QueuedConnection);
    });
    return true;
}

void MqttPublisher::start()
{
    if (!m_client)
        return;
    mosquitto_connect_async(m_client, m_config.host.toUtf8().constData(), m_config.port, m_config.keepAliveSeconds);
    // A refused first attempt is no fault: the loop tries again, as after a loss.
    const int looping = mosquitto_loop_start(m_client);
    if (looping != MOSQ_ERR_SUCCESS) {
        complain(QStringLiteral("mqtt: %1: nothing is published").arg(QString::fromUtf8(mosquitto_strerror(looping))));
        return;
    }
    complain(QStringLiteral("mqtt: connecting to %1").arg(brokerText(m_config)));
}

void MqttPublisher::onConnected(int code)
{
    if (m_finished)
        return;
    if (code != 0) {
        if (!std::exchange(m_awaySaid, true))
            complain(QStringLiteral("mqtt: %1 refused the connection: %2; trying again")
                         .arg(brokerText(m_config), QString::fromUtf8(mosquitto_connack_string(code))));
        return;
    }
    m_connected = true;
    const std::size_t waiting = m_queue.size();
    if (std::exchange(m_awaySaid, false) || m_everConnected) {
        complain(QStringLiteral("mqtt: connected to %1%2; sending %3 waiting message(s)%4")
                     .arg(brokerText(m_config), m_everConnected ? QStringLiteral(" again") : QString())
                     .arg(waiting)
                     .arg(m_dropped ? QStringLiteral(", %1 older ones were dropped").arg(m_dropped) : QString()));
    } else {
        complain(QStringLiteral("mqtt: connected to %1").arg(brokerText(m_config)));
    }
    m_everConnected = true;
    m_dropped = 0;
    send({m_config.topicPrefix.toUtf8() + "/availability", Online, true});
    publishDiscovery();
    // What each sensor last said stays true on a broker that forgot it.
    for (auto it = m_available.cbegin(); it != m_available.cend(); ++it) {
        const QString line = it.key().section(QLatin1Char('/'), 0, 0);
        const auto station = static_cast<std::uint8_t>(it.key().section(QLatin1Char('/'), 1).toInt());
        send({sensorTopic(line, station, "availability"), *it ? Online : Offline, true});
    }
    while (!m_queue.empty()) {
        send(m_queue.front());
        m_queue.pop_front();
    }
}

void MqttPublisher::onDisconnected(int code)
{
    // Not connected before: the broker took the connection but never accepted the client.
    const bool wasConnected = std::exchange(m_connected, false);
    if (m_finished || code == 0 || std::exchange(m_awaySaid, true))
        return;
    const QString trouble = wasConnected ? QStringLiteral("lost %1").arg(brokerText(m_config))
                                         : QStringLiteral("%1 does not answer (%2)")
                                               .arg(brokerText(m_config), QString::fromUtf8(mosquitto_strerror(code)));
    complain(QStringLiteral("mqtt: %1; reconnecting after 1 s, then up to every 60 s, keeping the newest %2 messages "
                            "meanwhile")
                 .arg(trouble)
                 .arg(m_config.queueLimit));
}

void MqttPublisher::send(const Message& message)
{
    mosquitto_publish(m_client, nullptr, message.topic.constData(), static_cast<int>(message.payload.size()),
        message.payload.constData(), Qos, message.retain);
}

void MqttPublisher::publish(Message message)
{
    if (m_connected) {
        send(message);
        return;
    }
    if (m_config.queueLimit == 0) {
        ++m_dropped;
        return;
    }
    if (m_queue.size() >= static_cast<std::size_t>(m_config.queueLimit)) {
        m_queue.pop_front();
        ++m_dropped;
    }
    m_queue.push_back(std::move(message));
}

QByteArray MqttPublisher::sensorTopic(const QString& line, std::uint8_t station, const char* leaf) const
{
    return QStringLiteral("%1/%2/%3/%4").arg(m_config.topicPrefix, line).arg(station).arg(QLatin1String(leaf)).toUtf8();
}

const ServedSensor* MqttPublisher::sensorOf(const QString& line, std::uint8_t station) const
{
    for (const ServedLineConfig& served : m_lines) {
        if (served.name != line)
            continue;
        for (const ServedSensor& sensor : served.sensors) {
            if (sensor.station == station)
                return &sensor;
        }
    }
    return nullptr;
}

void MqttPublisher::setSensors(const QList<ServedLineConfig>& lines)
{
    // Sensors no longer served leave Home Assistant (an empty config) and say offline.
    for (const ServedLineConfig& line : m_lines) {
        for (const ServedSensor& sensor : line.sensors) {
            const auto kept = std::find_if(lines.cbegin(), lines.cend(), [&](const ServedLineConfig& other) {
                return other.name == line.name
                    && std::any_of(other.sensors.cbegin(), other.sensors.cend(),
                        [&](const ServedSensor& s) { return s.station == sensor.station; });
            });
            if (kept != lines.cend())
                continue;
            setAvailability(line.name, sensor.station, false);
            m_available.remove(QStringLiteral("%1/%2").arg(line.name).arg(sensor.station));
            if (m_config.homeAssistant) {
                for (const char* quantity : {"temperature", "humidity"}) {
                    publish({QStringLiteral("%1/sensor/kv9240b_%2_%3_%4/config")
                                 .arg(m_config.discoveryPrefix, line.name)
                                 .arg(sensor.station)
                                 .arg(QLatin1String(quantity))
                                 .toUtf8(),
                        QByteArray(), true});
                }
            }
        }
    }
    m_lines = lines;
    if (m_connected)
        publishDiscovery();
}

void MqttPublisher::publishDiscovery()
{
    if (!m_config.homeAssistant)
        return;
    struct Quantity {
        const char* key;
        const char* deviceClass;
        const char* unit;
        const char* field;
    };
    static const Quantity Quantities[] = {
        {"temperature", "temperature", "°C", "temperature_c"},
        {"humidity", "humidity", "%", "humidity_rh"},
    };
    for (const ServedLineConfig& line : m_lines) {
        for (const ServedSensor& sensor : line.sensors) {
            const QString device = QStringLiteral("kv9240b_%1_%2").arg(line.name).arg(sensor.station);
            for (const Quantity& quantity : Quantities) {
                const QString id = device + QLatin1Char('_') + QLatin1String(quantity.key);
                QJsonObject config{
                    {"name", QStringLiteral("%1 %2").arg(sensor.name, QLatin1String(quantity.key))},
                    {"unique_id", id},
                    {"object_id", id},
                    {"device_class", quantity.deviceClass},
                    {"unit_of_measurement", QString::fromUtf8(quantity.unit)},
                    {"state_class", "measurement"},
                    {"state_topic", QString::fromUtf8(sensorTopic(line.name, sensor.station, "state"))},
                    {"value_template", QStringLiteral("{{ value_json.%1 }}").arg(QLatin1String(quantity.field))},
                    {"availability_mode", "all"},
                    {"availability",
                        QJsonArray{QJsonObject{{"topic", m_config.topicPrefix + QStringLiteral("/availability")}},
                            QJsonObject{
                                {"topic", QString::fromUtf8(sensorTopic(line.name, sensor.station, "availability"))}}}},
                    {"device",
                        QJsonObject{{"identifiers", QJsonArray{device}},
                            {"name", QStringLiteral("%1 %2").arg(line.name, sensor.name)}, {"model", "KV9240B"},
                            {"via_device", "kv9240b"}}},
                };
                send({QStringLiteral("%1/sensor/%2/config").arg(m_config.discoveryPrefix, id).toUtf8(), compact(config),
                    true});
            }
        }
    }
}

void MqttPublisher::setAvailability(const QString& line, std::uint8_t station, bool online)
{
    const QString key = QStringLiteral("%1/%2").arg(line).arg(station);
    const auto said = m_available.constFind(key);
    if (said != m_available.constEnd() && *said == online)
        return;
    m_available[key] = online;
    publish({sensorTopic(line, station, "availability"), online ? Online : Offline, true});
}

void MqttPublisher::publishReading(const QString& line, const Reading& reading)
{
    if (reading.status == OutcomeKind::PortLost)
        return; // publishLineOffline says it for every sensor of the line
    if (!reading.ok()) {
        setAvailability(line, reading.station, false);
        return;
    }
    QJsonObject state{{"time", isoTime(reading.time)}, {"line", line}, {"station", reading.station}, {"status", "ok"}};
    for (const ServedLineConfig& served : m_lines) {
        if (served.name == line)
            state.insert("port", served.port);
    }
    if (const ServedSensor* sensor = sensorOf(line, reading.station)) {
        state.insert("name", sensor->name);
        for (const auto& [name, value] : sensor->labels)
            state.insert(name, value);
    }
    const auto put = [&](const char* key, const std::optional<int>& hundredths) {
        if (hundredths)
            state.insert(QLatin1String(key), *hundredths / 100.0);
    };
    put("temperature_c", reading.values.temperature);
    put("humidity_rh", reading.values.humidity);
    put("temperature_offset_c", reading.values.temperatureOffset);
    put("humidity_offset_rh", reading.values.humidityOffset);
    setAvailability(line, reading.station, true);
    publish({sensorTopic(line, reading.station, "state"), compact(state), true});
}

void MqttPublisher::publishLineOffline(const ServedLineConfig& line)
{
    for (const ServedSensor& sensor : line.sensors)
        setAvailability(line.name, sensor.station, false);
}

void MqttPublisher::finish()
{
    if (m_finished || !m_client)
        return;
    for (const ServedLineConfig& line : m_lines)
        publishLineOffline(line);
    m_finished = true;
    if (m_connected) {
        send({m_config.topicPrefix.toUtf8() + "/availability", Offline, true});
        // The disconnect leaves after what was published before it.
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
    } else {
        mosquitto_loop_stop(m_client, true);
    }
    m_connected = false;
}

} // namespace kv::cli

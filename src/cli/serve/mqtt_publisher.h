#pragma once

#include "cli/serve/serve_config.h"
#include "session/reading.h"

#include <QHash>
#include <QObject>

#include <deque>

struct mosquitto;

namespace kv::cli {

// The readings of `serve` on an MQTT broker (libmosquitto, MQTT 3.1.1 or 5):
//   <prefix>/availability                  online / offline, the bridge (its last will)
//   <prefix>/<line>/<station>/state        every sound reading as JSON, retained
//   <prefix>/<line>/<station>/availability online / offline, the sensor, retained
// and, when asked, Home Assistant's discovery configs for each sensor's
// temperature and humidity. The connection runs on libmosquitto's own thread
// and is made again after a loss (1 s, doubling up to 60 s); while the broker
// is away the newest queue_limit messages wait, older ones are dropped.
class MqttPublisher : public QObject {
    Q_OBJECT

public:
    explicit MqttPublisher(MqttConfig config, QObject* parent = nullptr);
    ~MqttPublisher() override;

    // Reads the password and sets up TLS; false with the reason when the
    // settings cannot work (never the password itself).
    bool prepare(QString& problem);
    // Starts connecting, on libmosquitto's thread.
    void start();
    // The sensors served now (discovery, the names in the state messages).
    void setSensors(const QList<ServedLineConfig>& lines);
    // The last reading of a station in a poll.
    void publishReading(const QString& line, const Reading& reading);
    // Every sensor of the line offline (the line stopped or was lost).
    void publishLineOffline(const ServedLineConfig& line);
    // Says every sensor and the bridge offline and disconnects, waiting for
    // that to leave when connected.
    void finish();

private:
    struct Message {
        QByteArray topic;
        QByteArray payload;
        bool retain = true;
    };
    void publish(Message message);
    void send(const Message& message);
    void onConnected(int code);
    void onDisconnected(int code);
    void publishDiscovery();
    void setAvailability(const QString& line, std::uint8_t station, bool online);
    QByteArray sensorTopic(const QString& line, std::uint8_t station, const char* leaf) const;
    const ServedSensor* sensorOf(const QString& line, std::uint8_t station) const;

    MqttConfig m_config;
    mosquitto* m_client = nullptr;
    QList<ServedLineConfig> m_lines;
    QHash<QString, bool> m_available; // "line/station" -> what was said last
    std::deque<Message> m_queue;      // waiting for the broker
    quint64 m_dropped = 0;
    bool m_connected = false;
    bool m_awaySaid = false;
    bool m_everConnected = false;
    bool m_finished = false;
};

} // namespace kv::cli

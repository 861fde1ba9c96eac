#pragma once

#include "cli/serve/serve_config.h"
#include "session/reading.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

namespace kv {
class Poller;
}

namespace kv::cli {

class Line;

// One line of `serve`, polled on its own: its port or gateway, one master
// (so its requests never overlap), its stations round after round. A port
// that will not open or is lost is tried again after 1 s, then after twice as
// long each time up to 60 s; each change is said once on standard error.
class ServedLine : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds FirstBackoff{1000};
    static constexpr std::chrono::milliseconds LongestBackoff{60'000};
    // A gateway gets this long to accept the connection; the other lines and
    // the outputs go on meanwhile.
    static constexpr std::chrono::milliseconds ConnectTimeout{2000};

    ServedLine(ServedLineConfig line, const ServeConfig& settings, QObject* parent = nullptr);
    ~ServedLine() override;

    const ServedLineConfig& config() const { return m_config; }
    // Whether the port or gateway is open.
    bool isUp() const { return m_up; }

    void start();
    // Ends after the exchange in flight; stopped() follows, on the event loop.
    void stop();

signals:
    // The port or gateway opened, or was lost (not when stopped).
    void upChanged(bool up);
    // Every exchange, retries included, and the last one at each station of a poll.
    void exchanged(const kv::Reading& reading);
    void read(const kv::Reading& reading);
    void stopped();

private:
    void tryOpen();
    void onOpenFinished(const QString& failure);
    void onPollerFinished();
    void retryLater(const QString& problem);
    bool take(const Reading& reading);
    QString sensorName(std::uint8_t station) const;

    ServedLineConfig m_config;
    std::unique_ptr<Line> m_line;
    std::unique_ptr<Poller> m_poller;
    QTimer m_retry;
    std::chrono::milliseconds m_backoff = FirstBackoff;
    bool m_up = false;
    bool m_failing = false; // the port's trouble was said and not yet its recovery
    bool m_stopping = false;
    QHash<int, bool> m_answering; // station -> whether its last poll succeeded
};

} // namespace kv::cli

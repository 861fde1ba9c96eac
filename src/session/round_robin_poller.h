#pragma once

#include "session/exchange_queue.h"
#include "session/poller.h"
#include "session/reading.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace kv {

// One sensor of a round: where the queue of the line it hangs on is found,
// asked anew for every request (a line may change hands between rounds;
// nothing: the line cannot be used now), and its station.
struct PolledSensor {
    std::function<ExchangeQueue*()> queue;
    std::uint8_t station = 1;
};

// Reads registers 0 to 4 of each sensor in turn, one round a period, every
// request through its line's queue, so the round shares each line with
// whatever else talks on it without running into it. A round that takes
// longer than the period is followed by the next at once. A sensor that does
// not answer costs its round its timeout; the others are read all the same.
class RoundRobinPoller : public QObject {
    Q_OBJECT

public:
    explicit RoundRobinPoller(QObject* parent = nullptr);
    ~RoundRobinPoller() override;

    // The time one round needs on the wires: each sensor's exchange at its
    // line's rate with the sensor's usual turnaround, and the silence after it
    // (a sensor whose line cannot be used now counts nothing).
    static std::chrono::milliseconds shortestPeriod(const QList<PolledSensor>& sensors);

    // The sensors of the next rounds; a running round ends with the reading in flight.
    void setSensors(QList<PolledSensor> sensors);
    void start(std::chrono::milliseconds period);
    // Stops after the reading in flight, whose outcome is still reported.
    void stop();
    bool running() const { return m_running; }

signals:
    // The reading of sensors[index] of the list set.
    void reading(int index, const kv::Reading& reading);

private:
    void tick();
    void askNext();
    void onFinished(ExchangeQueue::Id id, const Outcome& outcome);
    void report(const Outcome& outcome);
    void watch(ExchangeQueue* queue);

    QList<PolledSensor> m_sensors;
    QList<ExchangeQueue*> m_watched;
    QTimer m_timer;
    TickSchedule m_schedule;
    qint64 m_round = 0;
    int m_next = 0; // index of the sensor asked next in this round
    int m_asked = -1;
    ExchangeQueue::Id m_open = 0;
    ExchangeQueue* m_askedOn = nullptr; // the queue of the request in flight
    QDateTime m_askedAt;
    bool m_running = false;
};

} // namespace kv

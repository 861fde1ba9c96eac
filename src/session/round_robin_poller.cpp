#include "session/round_robin_poller.h"

#include "line/line.h"
#include "protocol/kv9240b/measurement.h"
#include "protocol/modbus/wire_timing.h"
#include "session/modbus_master.h"

#include <algorithm>

namespace kv {

namespace {

constexpr int RequestBytes = 8;
constexpr int ReplyBytes = 2 * MeasurementRows + 5;

Frame requestFor(std::uint8_t station)
{
    return withCrc(readRegistersHead(station, 0, MeasurementRows));
}

} // namespace

RoundRobinPoller::RoundRobinPoller(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RoundRobinPoller::tick);
}

RoundRobinPoller::~RoundRobinPoller() = default;

std::chrono::milliseconds RoundRobinPoller::shortestPeriod(const QList<PolledSensor>& sensors)
{
    std::chrono::nanoseconds total{};
    for (const PolledSensor& sensor : sensors) {
        const ExchangeQueue* queue = sensor.queue();
        if (!queue)
            continue;
        const int rate = queue->engine().line().baudRate();
        total += exchangeTime(RequestBytes, ReplyBytes, rate, ModbusMaster::NominalTurnaround) + silentInterval(rate);
    }
    return std::chrono::ceil<std::chrono::milliseconds>(total);
}

void RoundRobinPoller::setSensors(QList<PolledSensor> sensors)
{
    m_sensors = std::move(sensors);
    m_next = std::min<int>(m_next, static_cast<int>(m_sensors.size()));
}

void RoundRobinPoller::watch(ExchangeQueue* queue)
{
    if (m_watched.contains(queue))
        return;
    m_watched << queue;
    connect(queue, &ExchangeQueue::finished, this, &RoundRobinPoller::onFinished);
    connect(queue, &ExchangeQueue::refused, this, [this](ExchangeQueue::Id id) {
        if (id != m_open)
            return;
        Outcome lost;
        lost.kind = OutcomeKind::PortLost;
        onFinished(id, lost);
    });
    connect(queue, &QObject::destroyed, this, [this, queue] { m_watched.removeAll(queue); });
}

void RoundRobinPoller::start(std::chrono::milliseconds period)
{
    if (m_running || m_sensors.isEmpty())
        return;
    m_running = true;
    m_round = 0;
    m_schedule = {monotonicNow(), std::chrono::nanoseconds(period).count()};
    tick();
}

void RoundRobinPoller::stop()
{
    m_running = false;
    m_timer.stop();
}

void RoundRobinPoller::tick()
{
    if (!m_running || m_open != 0)
        return;
    m_next = 0;
    askNext();
}

void RoundRobinPoller::askNext()
{
    if (!m_running)
        return;
    if (m_next >= m_sensors.size()) {
        // The round is done: the next on the grid, or at once when it has passed.
        ++m_round;
        const qint64 now = monotonicNow();
        const qint64 due = m_schedule.nextTick(m_round, now);
        m_timer.start(
            std::chrono::ceil<std::chrono::milliseconds>(std::chrono::nanoseconds(std::max<qint64>(0, due - now))));
        return;
    }
    m_asked = m_next++;
    const PolledSensor& sensor = m_sensors[m_asked];
    m_askedAt = readingTimeNow();
    m_askedOn = sensor.queue();
    if (m_askedOn) {
        watch(m_askedOn);
        m_open = m_askedOn->submit(requestFor(sensor.station), ExchangeQueue::Turn::AfterOpen, this);
    }
    if (m_open == 0) { // the line is closed, or cannot be had
        Outcome lost;
        lost.kind = OutcomeKind::PortLost;
        report(lost);
        askNext();
    }
}

void RoundRobinPoller::onFinished(ExchangeQueue::Id id, const Outcome& outcome)
{
    if (id == 0 || id != m_open)
        return;
    m_open = 0;
    report(outcome);
    askNext();
}

void RoundRobinPoller::report(const Outcome& outcome)
{
    if (m_asked < 0 || m_asked >= m_sensors.size())
        return;
    const PolledSensor& sensor = m_sensors[m_asked];
    const Frame request = requestFor(sensor.station);
    const std::chrono::milliseconds timeout
        = m_askedOn ? m_askedOn->engine().timeoutFor(request) : std::chrono::milliseconds{};
    emit reading(m_asked, readingOf(outcome, sensor.station, m_askedAt, timeout));
}

} // namespace kv

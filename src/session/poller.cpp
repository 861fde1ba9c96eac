#include "session/poller.h"

#include "protocol/kv9240b/measurement.h"
#include "serial/comm_port.h"
#include "session/modbus_master.h"

#include <algorithm>

namespace kv {

namespace {

std::chrono::milliseconds untilMs(qint64 due, qint64 now)
{
    // Rounded up: a timer that fires early would send before the tick.
    return std::chrono::ceil<std::chrono::milliseconds>(std::chrono::nanoseconds(std::max<qint64>(0, due - now)));
}

} // namespace

qint64 TickSchedule::nextTick(qint64& next, qint64 now) const
{
    const qint64 due = origin + next * period;
    if (due >= now || period <= 0)
        return due;
    next = (now - origin) / period;
    return origin + next * period;
}

Poller::Poller(ModbusMaster& master, Plan plan, Handler handler, QObject* parent)
    : QObject(parent)
    , m_master(master)
    , m_plan(std::move(plan))
    , m_handler(std::move(handler))
{
    for (std::uint8_t station : m_plan.stations)
        m_requests.push_back(withCrc(readRegistersHead(station, 0, MeasurementRows)));
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Poller::ask);
    connect(&m_master, &ModbusMaster::finished, this, &Poller::onOutcome);
}

void Poller::start()
{
    if (m_running || m_requests.empty())
        return;
    m_running = true;
    m_stopping = false;
    m_round = 0;
    m_tick = 0;
    m_station = 0;
    m_attempt = 0;
    m_schedule = {CommPort::monotonicNow(), m_plan.period ? std::chrono::nanoseconds(*m_plan.period).count() : 0};
    ask();
}

void Poller::stopAfterReading()
{
    if (!m_running)
        return;
    m_stopping = true;
    if (!m_master.busy())
        finish(); // waiting for a tick or the quiet line: nothing in flight
}

void Poller::ask()
{
    if (!m_running)
        return;
    // Frames on the bus must be apart by the silence that ends a frame.
    const qint64 now = CommPort::monotonicNow();
    if (m_master.lineQuietAt() > now) {
        m_timer.start(untilMs(m_master.lineQuietAt(), now));
        return;
    }
    sendNow();
}

void Poller::sendNow()
{
    m_askedAt = readingTimeNow();
    if (m_master.start(m_requests[static_cast<std::size_t>(m_station)]))
        return;
    Outcome lost; // the port closed under us
    lost.kind = OutcomeKind::PortLost;
    onOutcome(lost);
}

void Poller::onOutcome(const Outcome& outcome)
{
    if (!m_running)
        return;
    const std::uint8_t station = m_plan.stations[m_station];
    const Reading reading
        = readingOf(outcome, station, m_askedAt, m_master.timeoutFor(m_requests[static_cast<std::size_t>(m_station)]));
    emit exchanged(reading);
    if (!reading.ok() && outcome.kind != OutcomeKind::PortLost && !m_stopping && m_attempt < m_plan.retries) {
        ++m_attempt;
        ask();
        return;
    }
    m_attempt = 0;
    const bool goOn = m_handler(reading);
    if (!goOn || m_stopping || outcome.kind == OutcomeKind::PortLost) {
        finish();
        return;
    }
    if (++m_station < m_plan.stations.size()) {
        ask();
        return;
    }
    roundDone();
}

void Poller::roundDone()
{
    m_station = 0;
    ++m_round;
    if (m_plan.rounds > 0 && m_round >= m_plan.rounds) {
        finish();
        return;
    }
    ++m_tick;
    const qint64 now = CommPort::monotonicNow();
    const qint64 due = m_schedule.nextTick(m_tick, now);
    if (due > now)
        m_timer.start(untilMs(due, now));
    else
        ask();
}

void Poller::finish()
{
    m_running = false;
    m_timer.stop();
    emit finished();
}

} // namespace kv

#include "session/exchange_queue.h"

#include "line/line.h"
#include "session/modbus_master.h"

#include <algorithm>
#include <utility>

namespace kv {

ExchangeQueue::ExchangeQueue(ModbusMaster& master, QObject* parent)
    : QObject(parent)
    , m_master(master)
{
    m_quiet.setSingleShot(true);
    m_quiet.setTimerType(Qt::PreciseTimer);
    connect(&m_quiet, &QTimer::timeout, this, &ExchangeQueue::startNext);
    connect(&m_master, &ModbusMaster::finished, this, &ExchangeQueue::onFinished);
}

ExchangeQueue::~ExchangeQueue() = default;

ExchangeQueue::Id ExchangeQueue::submit(const Frame& request, Turn turn, const void* owner)
{
    const Waiting entry{++m_lastId, request, owner};
    if (turn == Turn::TakeOver) {
        if (m_open != 0 && m_openOwner == owner) {
            m_master.cancel();
            emit givenUp(std::exchange(m_open, 0));
        }
        // Another's request on the wire ends first; this one goes next.
        if (m_open != 0) {
            m_waiting.push_front(entry);
            return entry.id;
        }
        return startOnWire(entry) ? entry.id : 0;
    }
    if (m_open != 0 || !m_waiting.empty() || m_master.lineQuietAt() > monotonicNow()) {
        m_waiting.push_back(entry);
        startNext();
        return entry.id;
    }
    return startOnWire(entry) ? entry.id : 0;
}

bool ExchangeQueue::withdraw(Id id)
{
    const auto it = std::ranges::find(m_waiting, id, &Waiting::id);
    if (it == m_waiting.end())
        return false;
    m_waiting.erase(it);
    return true;
}

bool ExchangeQueue::pending(Id id) const
{
    return id != 0 && (id == m_open || std::ranges::find(m_waiting, id, &Waiting::id) != m_waiting.end());
}

bool ExchangeQueue::startOnWire(const Waiting& request)
{
    if (!m_master.start(request.request))
        return false;
    m_open = request.id;
    m_openOwner = request.owner;
    return true;
}

void ExchangeQueue::onFinished(const Outcome& outcome)
{
    const Id done = std::exchange(m_open, 0);
    if (done != 0)
        emit finished(done, outcome);
    startNext();
}

void ExchangeQueue::startNext()
{
    // A front end may have sent one of its own while told of the last outcome.
    while (m_open == 0 && !m_waiting.empty()) {
        // Frames on a bus must be apart by the silence that ends one.
        const qint64 now = monotonicNow();
        if (const qint64 quietAt = m_master.lineQuietAt(); quietAt > now) {
            if (!m_quiet.isActive())
                m_quiet.start(std::chrono::ceil<std::chrono::milliseconds>(std::chrono::nanoseconds(quietAt - now)));
            return;
        }
        const Waiting next = m_waiting.front();
        m_waiting.pop_front();
        if (startOnWire(next))
            emit sent(next.id);
        else
            emit refused(next.id);
    }
}

} // namespace kv

#include "session/exchange_queue.h"

#include "session/modbus_master.h"

#include <algorithm>
#include <utility>

namespace kv {

ExchangeQueue::ExchangeQueue(ModbusMaster& master, QObject* parent)
    : QObject(parent)
    , m_master(master)
{
    connect(&m_master, &ModbusMaster::finished, this, &ExchangeQueue::onFinished);
}

ExchangeQueue::~ExchangeQueue() = default;

ExchangeQueue::Id ExchangeQueue::submit(const Frame& request, Turn turn)
{
    if (m_open != 0 && turn == Turn::TakeOver) {
        m_master.cancel();
        emit givenUp(std::exchange(m_open, 0));
    }
    const Id id = ++m_lastId;
    // Taking over goes out before those still waiting, who keep their turn after it.
    if (turn == Turn::AfterOpen && (m_open != 0 || !m_waiting.empty())) {
        m_waiting.push_back({id, request});
        return id;
    }
    return startOnWire(id, request) ? id : 0;
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

bool ExchangeQueue::startOnWire(Id id, const Frame& request)
{
    if (!m_master.start(request))
        return false;
    m_open = id;
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
        const Waiting next = m_waiting.front();
        m_waiting.pop_front();
        if (startOnWire(next.id, next.request))
            emit sent(next.id);
        else
            emit refused(next.id);
    }
}

} // namespace kv

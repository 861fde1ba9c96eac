#include "app/overview/overview_lines.h"

#include "line/serial_line.h"
#include "serial/port_directory.h"
#include "session/exchange_queue.h"
#include "session/modbus_master.h"

namespace kv {

OverviewLines::OverviewLines(SharedQueue shared, QObject* parent)
    : QObject(parent)
    , m_shared(std::move(shared))
{
}

OverviewLines::~OverviewLines() = default;

OverviewLines::OwnLine::~OwnLine()
{
    queue.reset();
    master.reset();
    delete line;
}

ExchangeQueue* OverviewLines::queueFor(int port, int baudRate)
{
    if (ExchangeQueue* shared = m_shared(port))
        return shared;
    auto found = m_own.find(port);
    if (found == m_own.end()) {
        auto own = std::make_unique<OwnLine>();
        own->line = newSerialLine();
        own->line->setCommPort(port);
        own->master = std::make_unique<ModbusMaster>(*own->line);
        own->queue = std::make_unique<ExchangeQueue>(*own->master);
        found = m_own.emplace(port, std::move(own)).first;
    }
    SerialLine& line = *found->second->line;
    if (!line.portOpen()) {
        line.setSettings(settingsText(baudRate));
        if (!line.setPortOpen(true))
            return nullptr;
    }
    return found->second->queue.get();
}

void OverviewLines::closeAll()
{
    m_own.clear();
}

} // namespace kv

#pragma once

#include <QObject>

#include <functional>
#include <map>
#include <memory>

namespace kv {

class ExchangeQueue;
class ModbusMaster;
class SerialLine;

// The lines the overview's sensors hang on, by port number. The port the
// window polls on is the window's own line and queue, shared, so the two
// never run into each other; any other port the overview opens for itself,
// at the rate its sensors talk, when the first of them needs it.
class OverviewLines : public QObject {
    Q_OBJECT

public:
    // The window's queue when `port` is its open port, else nothing.
    using SharedQueue = std::function<ExchangeQueue*(int port)>;

    explicit OverviewLines(SharedQueue shared, QObject* parent = nullptr);
    ~OverviewLines() override;

    // The queue of the line to `port`, opened at `baudRate` if it is the
    // overview's own; nothing when the port will not open.
    ExchangeQueue* queueFor(int port, int baudRate);
    // Closes the overview's own lines.
    void closeAll();

private:
    struct OwnLine {
        SerialLine* line = nullptr;
        std::unique_ptr<ModbusMaster> master;
        std::unique_ptr<ExchangeQueue> queue;
        ~OwnLine();
    };
    SharedQueue m_shared;
    std::map<int, std::unique_ptr<OwnLine>> m_own;
};

} // namespace kv

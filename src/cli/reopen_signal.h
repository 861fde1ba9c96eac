#pragma once

#include "cli/signal_pipe.h"

#include <QObject>

namespace kv::cli {

// SIGHUP as a Qt signal on the event loop. A long watch takes it, as loggers
// do, as the word to open its output file again (a log rotation has moved
// it away) instead of ending without its summary and leaving the port's lock
// behind. One instance at a time.
class ReopenSignal : public QObject {
    Q_OBJECT

public:
    explicit ReopenSignal(QObject* parent = nullptr);

signals:
    void reopenRequested();

private:
    SignalPipe m_pipe;
};

} // namespace kv::cli

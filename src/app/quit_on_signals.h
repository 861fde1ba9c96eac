#pragma once

#include <QObject>

class QSocketNotifier;

namespace kv {

// Quits the application's event loop on SIGTERM, SIGINT and SIGHUP, so that
// the window and its serial port are destroyed as on a normal close: the port
// is closed and its lock file removed, and nobody is left locked out of it.
// The signal handler only writes a byte into a socket pair; the quit happens
// on the event loop's thread. One at a time; build it after the application.
class QuitOnSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitOnSignals(QObject* parent = nullptr);
    ~QuitOnSignals() override; // the signals get their default actions back

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kv

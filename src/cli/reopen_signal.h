#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace kv::cli {

// SIGHUP as a Qt signal on the event loop. A long watch takes it, as loggers
// do, as the word to open its output file again (a log rotation has moved
// it away) instead of ending without its summary and leaving the port's lock
// behind. One instance at a time.
class ReopenSignal : public QObject {
    Q_OBJECT

public:
    explicit ReopenSignal(QObject* parent = nullptr);
    ~ReopenSignal() override;

signals:
    void reopenRequested();

private:
    void takeSignal();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace kv::cli

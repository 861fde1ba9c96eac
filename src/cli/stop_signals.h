#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace kv::cli {

// Ctrl-C (SIGINT) and SIGTERM as a Qt signal on the event loop, so a command
// can end after the record in flight; a second one ends the program at once.
// One instance at a time.
class StopSignals : public QObject {
    Q_OBJECT

public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

    bool requested() const { return m_requested; }

signals:
    void stopRequested();

private:
    void takeSignal();

    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_requested = false;
};

} // namespace kv::cli

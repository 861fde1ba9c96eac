#pragma once

#include "cli/signal_pipe.h"

#include <QObject>

namespace kv::cli {

// Ctrl-C (SIGINT) and SIGTERM as a Qt signal on the event loop, so a command
// can end after the record in flight; a second one ends the program at once.
// One instance at a time.
class StopSignals : public QObject {
    Q_OBJECT

public:
    explicit StopSignals(QObject* parent = nullptr);

    bool requested() const { return m_requested; }
    // Also takes a signal that came while no event loop ran (between two
    // exchanges), so the next one is not started.
    bool requestedNow();
    // The exit status of a program ended by the signal taken: 130 for
    // SIGINT, 143 for SIGTERM (128 and its number, as the shell reports it).
    int exitStatus() const { return 128 + m_signal; }

signals:
    void stopRequested();

private:
    void accept(int signalNumber);

    SignalPipe m_pipe;
    bool m_requested = false;
    int m_signal = 0;
};

} // namespace kv::cli

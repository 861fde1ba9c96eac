#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <initializer_list>
#include <memory>
#include <vector>

namespace kv::cli {

// Process signals brought onto the event loop: the handler only writes the
// signal's number to a pipe, whose other end a socket notifier watches. The
// signals go back to their default handling when the object goes.
class SignalPipe : public QObject {
    Q_OBJECT

public:
    // `flags` are sigaction's (SA_RESTART, SA_RESETHAND, ...).
    SignalPipe(std::initializer_list<int> signalNumbers, int flags, QObject* parent = nullptr);
    ~SignalPipe() override;

    // Takes every signal waiting in the pipe; the first of them, 0 when none.
    int take();

signals:
    void arrived(int signalNumber);

private:
    int m_pipe[2] = {-1, -1};
    std::vector<int> m_signals;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace kv::cli

#include "cli/stop_signals.h"

#include <csignal>

namespace kv::cli {

StopSignals::StopSignals(QObject* parent)
    : QObject(parent)
    // The first asks politely; the next one takes the default way out.
    , m_pipe({SIGINT, SIGTERM}, SA_RESETHAND | SA_RESTART)
{
    connect(&m_pipe, &SignalPipe::arrived, this, &StopSignals::accept);
}

void StopSignals::accept(int signalNumber)
{
    if (m_requested)
        return;
    m_signal = signalNumber;
    m_requested = true;
    emit stopRequested();
}

bool StopSignals::requestedNow()
{
    if (!m_requested) {
        if (const int signalNumber = m_pipe.take())
            accept(signalNumber);
    }
    return m_requested;
}

} // namespace kv::cli

#include "cli/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kv::cli {

namespace {

// The handler may only write to a pipe; the event loop reads the other end.
int g_pipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void handle(int signalNumber)
{
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The first asks politely; the next one takes the default way out.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject* parent)
    : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::takeSignal);
    handle(SIGINT);
    handle(SIGTERM);
}

StopSignals::~StopSignals()
{
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    m_notifier.reset();
    for (int& end : g_pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void StopSignals::takeSignal()
{
    char bytes[16];
    ssize_t count = 0;
    bool taken = false;
    while ((count = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) {
        if (!m_requested && !taken)
            m_signal = bytes[0];
        taken = true;
    }
    if (!taken || m_requested)
        return;
    m_requested = true;
    emit stopRequested();
}

bool StopSignals::requestedNow()
{
    if (!m_requested && g_pipe[0] >= 0)
        takeSignal();
    return m_requested;
}

} // namespace kv::cli

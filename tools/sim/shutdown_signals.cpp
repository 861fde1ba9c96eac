#include "shutdown_signals.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace kv::sim {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void noteStopSignal(int signal)
{
    stopSignal = signal;
}

} // namespace

sigset_t takeOverShutdownSignals()
{
    sigset_t stopping;
    ::sigemptyset(&stopping);
    ::sigaddset(&stopping, SIGINT);
    ::sigaddset(&stopping, SIGTERM);
    sigset_t waiting;
    ::sigprocmask(SIG_BLOCK, &stopping, &waiting);
    ::sigdelset(&waiting, SIGINT);
    ::sigdelset(&waiting, SIGTERM);

    struct sigaction action { };
    action.sa_handler = noteStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have gone before the request took hold.
    if (::getppid() != parent)
        stopSignal = SIGTERM;
    return waiting;
}

bool shutdownRequested()
{
    return stopSignal != 0;
}

} // namespace kv::sim

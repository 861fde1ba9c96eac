#include "cli/reopen_signal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kv::cli {

namespace {

// The handler may only write to a pipe; the event loop reads the other end.
int g_hangupPipe[2] = {-1, -1};

void onHangup(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_hangupPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

ReopenSignal::ReopenSignal(QObject* parent)
    : QObject(parent)
{
    if (::pipe2(g_hangupPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_hangupPipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &ReopenSignal::takeSignal);
    struct sigaction action { };
    action.sa_handler = onHangup;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // every rotation sends one
    ::sigaction(SIGHUP, &action, nullptr);
}

ReopenSignal::~ReopenSignal()
{
    ::signal(SIGHUP, SIG_DFL);
    m_notifier.reset();
    for (int& end : g_hangupPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void ReopenSignal::takeSignal()
{
    char bytes[16];
    while (::read(g_hangupPipe[0], bytes, sizeof bytes) > 0) {
    }
    emit reopenRequested();
}

} // namespace kv::cli

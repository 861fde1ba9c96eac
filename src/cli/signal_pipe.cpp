#include "cli/signal_pipe.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kv::cli {

namespace {

// The pipe each signal is written to; the handler may do nothing else.
std::array<int, NSIG> g_writeEnd = [] {
    std::array<int, NSIG> ends{};
    ends.fill(-1);
    return ends;
}();

void onSignal(int signalNumber)
{
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd[static_cast<std::size_t>(signalNumber)], &byte, 1);
    errno = saved;
}

} // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signalNumbers, int flags, QObject* parent)
    : QObject(parent)
    , m_signals(signalNumbers)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        if (const int signalNumber = take())
            emit arrived(signalNumber);
    });
    for (int signalNumber : m_signals) {
        g_writeEnd[static_cast<std::size_t>(signalNumber)] = m_pipe[1];
        struct sigaction action { };
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = flags;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

SignalPipe::~SignalPipe()
{
    for (int signalNumber : m_signals) {
        ::signal(signalNumber, SIG_DFL);
        g_writeEnd[static_cast<std::size_t>(signalNumber)] = -1;
    }
    m_notifier.reset();
    for (int& end : m_pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

int SignalPipe::take()
{
    if (m_pipe[0] < 0)
        return 0;
    char bytes[16];
    int first = 0;
    while (true) {
        const ssize_t count = ::read(m_pipe[0], bytes, sizeof bytes);
        if (count <= 0)
            return first;
        if (first == 0)
            first = static_cast<unsigned char>(bytes[0]);
    }
}

} // namespace kv::cli

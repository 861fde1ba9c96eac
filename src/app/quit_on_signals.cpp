#include "app/quit_on_signals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kv {

#ifdef Q_OS_UNIX

namespace {

constexpr int QuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// [0] is written by the handler, [1] read on the event loop's thread.
int signalPipe[2] = {-1, -1};

extern "C" void noteQuitSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a handler; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

void handleQuitSignals(void (*handler)(int))
{
    struct sigaction action { };
    action.sa_handler = handler;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : QuitSignals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

QuitOnSignals::QuitOnSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [] {
        char bytes[16];
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[1], bytes, sizeof bytes);
        // A message box of start-up runs its own loop before the
        // application's, where a quit would go unheard: it is closed, and
        // the quit waits in the queue for the application's loop.
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            box->reject();
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    handleQuitSignals(noteQuitSignal);
}

QuitOnSignals::~QuitOnSignals()
{
    if (!m_notifier)
        return;
    handleQuitSignals(SIG_DFL);
    delete m_notifier;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

#else

QuitOnSignals::QuitOnSignals(QObject* parent)
    : QObject(parent)
{
}

QuitOnSignals::~QuitOnSignals() = default;

#endif

} // namespace kv

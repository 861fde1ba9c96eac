#include "pty_pair.h"

#include "serial/port_directory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kv::test {

PtyPair::PtyPair()
{
    // Not inherited by programs the test starts: the line must hang up when the test closes it.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    hangUp();
}

void PtyPair::hangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyPair::send(const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (n < 0 && errno == EAGAIN) // the line is full until the tool reads: let it
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (n > 0)
            written += n;
    }
}

QByteArray PtyPair::readUntil(const QDeadlineTimer& deadline, qsizetype enough)
{
    QByteArray received;
    while (received.size() < enough && !deadline.hasExpired()) {
        // The tool's writes may still sit in its own queue: let its event loop run.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd ready{m_master, POLLIN, 0};
        if (::poll(&ready, 1, 10) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, n);
    }
    return received;
}

QByteArray PtyPair::receive(int minimum, int timeoutMs)
{
    return readUntil(QDeadlineTimer(timeoutMs), minimum);
}

QByteArray PtyPair::drain(int quietMs)
{
    return readUntil(QDeadlineTimer(quietMs), std::numeric_limits<qsizetype>::max());
}

PortWiring::PortWiring(int portNumber, const QString& devicePath)
    : m_variable(portEnvironmentVariable(portNumber).toLatin1())
{
    qputenv(m_variable.constData(), devicePath.toLocal8Bit());
}

PortWiring::~PortWiring()
{
    qunsetenv(m_variable.constData());
}

} // namespace kv::test

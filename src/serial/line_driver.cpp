#include "serial/line_driver.h"

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kv::line_driver {

#ifdef Q_OS_UNIX

bool hasFailed(qintptr handle)
{
    pollfd state{static_cast<int>(handle), POLLIN, 0};
    if (::poll(&state, 1, 0) < 0)
        return true;
    return (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int pending(qintptr handle)
{
    int count = 0;
    return ::ioctl(static_cast<int>(handle), FIONREAD, &count) == 0 ? count : 0;
}

QByteArray readPending(qintptr handle, int maxBytes)
{
    QByteArray bytes(std::max(0, maxBytes), Qt::Uninitialized);
    ssize_t got = 0;
    do {
        got = ::read(static_cast<int>(handle), bytes.data(), static_cast<size_t>(bytes.size()));
    } while (got < 0 && errno == EINTR);
    bytes.resize(got > 0 ? got : 0);
    return bytes;
}

#else

bool hasFailed(qintptr)
{
    return true;
}

int pending(qintptr)
{
    return 0;
}

QByteArray readPending(qintptr, int)
{
    return {};
}

#endif

} // namespace kv::line_driver

#include "device_line.h"

#include "termios_speed.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kv::sim {

namespace {

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

// termios rather than QSerialPort: the simulator waits on one descriptor with
// sub-millisecond deadlines, which the event loop's timers cannot give.
bool configure(int fd, int baudRate, QString& error)
{
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        error = systemError("cannot read the port settings");
        return false;
    }
    ::cfmakeraw(&line);
    line.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    line.c_cflag |= CS8 | CREAD | CLOCAL; // CLOCAL: no modem lines on RS-485
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    ::cfsetispeed(&line, speedCode(baudRate));
    ::cfsetospeed(&line, speedCode(baudRate));
    if (::tcsetattr(fd, TCSANOW, &line) != 0) {
        error = systemError("cannot set the port to 8N1");
        return false;
    }
    return true;
}

class DeviceLine final : public SerialLine {
public:
    DeviceLine(int fd, QString path)
        : m_fd(fd)
        , m_path(std::move(path))
    {
    }
    ~DeviceLine() override
    {
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }
    DeviceLine(const DeviceLine&) = delete;
    DeviceLine& operator=(const DeviceLine&) = delete;

    int descriptor() const override { return m_fd; }
    QString devicePath() const override { return m_path; }
    bool pacedByHardware() const override { return true; }
    std::optional<int> peerBaudRate() const override { return std::nullopt; }

    LineState receive(Frame& into) override
    {
        std::uint8_t buffer[256];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                into.insert(into.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return LineState::Open;
            // End of file or an I/O error: the adapter has been pulled out.
            return LineState::Failed;
        }
    }

    void transmit(std::span<const std::uint8_t> bytes) override
    {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + written, bytes.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return;
        }
    }

    void drain() override { ::tcdrain(m_fd); }

    bool setBaudRate(int baudRate, QString& error) override
    {
        ::tcdrain(m_fd);
        return configure(m_fd, baudRate, error);
    }

private:
    int m_fd;
    QString m_path;
};

} // namespace

std::unique_ptr<SerialLine> openDeviceLine(const QString& path, int baudRate, QString& error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    if (!::isatty(fd)) {
        error = QStringLiteral("%1 is not a serial device").arg(path);
        ::close(fd);
        return nullptr;
    }
    // Keep a second program off the port, as serial programs usually do.
    ::ioctl(fd, TIOCEXCL);
    if (!configure(fd, baudRate, error)) {
        ::close(fd);
        return nullptr;
    }
    ::tcflush(fd, TCIOFLUSH);
    return std::make_unique<DeviceLine>(fd, path);
}

} // namespace kv::sim

#include "pty_line.h"

#include "termios_speed.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kv::sim {

namespace {

class PtyLine final : public SerialLine {
public:
    PtyLine(int master, QString path)
        : m_master(master)
        , m_path(std::move(path))
    {
    }
    ~PtyLine() override { ::close(m_master); }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    int descriptor() const override { return m_master; }
    QString devicePath() const override { return m_path; }
    bool pacedByHardware() const override { return false; }

    // On Linux the master reads the terminal settings of the slave, which is
    // where the program at the other end has put its rate.
    std::optional<int> peerBaudRate() const override
    {
        termios line{};
        if (::tcgetattr(m_master, &line) != 0)
            return 0;
        return baudRateOf(::cfgetospeed(&line));
    }

    LineState receive(Frame& into) override
    {
        std::uint8_t buffer[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                into.insert(into.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // The master reads EIO while no one has the other end open.
            if (n < 0 && errno == EIO)
                return LineState::PeerAbsent;
            return LineState::Open;
        }
    }

    void transmit(std::span<const std::uint8_t> bytes) override
    {
        // Written while the other end is closed, bytes would wait for the
        // next program to open it: a wire would have lost them.
        pollfd state{m_master, POLLOUT, 0};
        if (::poll(&state, 1, 0) == 1 && (state.revents & POLLHUP))
            return;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + written, bytes.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return; // the reader's queue is full: the rest is lost
        }
    }

    void drain() override { }
    // The pacing alone carries the sensors' rate. The terminal settings stay
    // as they are: they are the other program's end of the line.
    bool setBaudRate(int, QString&) override { return true; }

private:
    int m_master;
    QString m_path;
};

} // namespace

std::unique_ptr<SerialLine> openPseudoTerminal(int baudRate, QString& error)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const auto fail = [&](const char* what) {
        error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        if (master >= 0)
            ::close(master);
        return nullptr;
    };
    if (master < 0)
        return fail("cannot open a pseudo-terminal");
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return fail("cannot unlock the pseudo-terminal");
    // On Linux the master's line settings are the slave's: raw mode here
    // means no echo and no newline translation for whoever opens the slave.
    termios line{};
    if (::tcgetattr(master, &line) != 0)
        return fail("cannot read the pseudo-terminal's settings");
    ::cfmakeraw(&line);
    // A program that opens the line without choosing a rate finds the
    // sensors' rate, as on a port somebody has set up before.
    ::cfsetispeed(&line, speedCode(baudRate));
    ::cfsetospeed(&line, speedCode(baudRate));
    if (::tcsetattr(master, TCSANOW, &line) != 0)
        return fail("cannot put the pseudo-terminal in raw mode at the sensors' rate");
    const char* path = ::ptsname(master);
    if (path == nullptr)
        return fail("cannot name the pseudo-terminal");
    return std::make_unique<PtyLine>(master, QString::fromLocal8Bit(path));
}

} // namespace kv::sim

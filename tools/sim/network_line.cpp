#include "network_line.h"

#include "protocol/modbus/reply_check.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kv::sim {

namespace {

constexpr std::size_t MbapLengthEnd = 6; // transaction id, protocol, length
constexpr std::uint8_t TargetFailedToRespond = 0x0B;
// A split reply: its pieces and the pause after each, long enough for the
// client to read every piece on its own.
constexpr std::size_t SplitPieces = 3;
constexpr std::chrono::milliseconds SplitPause{20};

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

QString peerName(const sockaddr_storage& peer)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (peer.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(peer);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        return QStringLiteral("[%1]:%2").arg(QLatin1String(text)).arg(ntohs(v6.sin6_port));
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(v4.sin_port));
}

// The simulator's side of the gateway. Its descriptor is an epoll set holding
// the listening socket and the client's, so the server's one wait wakes for
// a new connection and for requests alike.
class GatewayLine final : public SerialLine {
public:
    GatewayLine(int listener, int watch, QString name, GatewayKind kind, std::function<void(const QString&)> note)
        : m_listener(listener)
        , m_watch(watch)
        , m_name(std::move(name))
        , m_kind(kind)
        , m_note(std::move(note))
    {
    }
    ~GatewayLine() override
    {
        dropClient();
        ::close(m_watch);
        ::close(m_listener);
    }
    GatewayLine(const GatewayLine&) = delete;
    GatewayLine& operator=(const GatewayLine&) = delete;

    int descriptor() const override { return m_watch; }
    QString devicePath() const override { return m_name; }
    // A Modbus TCP gateway needs the whole reply to translate it: it is handed
    // over at once and sent when it would have crossed the serial line. A
    // transparent one passes every byte on as it comes.
    bool pacedByHardware() const override { return m_kind == GatewayKind::ModbusTcp; }
    // Nothing tells the rate behind a gateway; the sensors hear every request.
    std::optional<int> peerBaudRate() const override { return std::nullopt; }

    LineState receive(Frame& into) override
    {
        // The client there is read first: one that has gone (a program that
        // closed its connection and at once opened a new one) makes room for
        // the one waiting, rather than having it refused.
        readClient(into);
        acceptWaiting();
        if (m_kind == GatewayKind::ModbusTcp)
            takeMbapRequests(into);
        return LineState::Open;
    }

    // The request the reply answers is the one the sensors took: requests
    // that come in while it is pending are dropped on the serial side and
    // must not lend it their transaction id.
    void replyStarts(const DrawnFaults& faults) override
    {
        m_answering = m_asked;
        m_splitting = faults.split;
    }

    void transmit(std::span<const std::uint8_t> bytes) override
    {
        if (m_kind == GatewayKind::ModbusTcp || m_splitting)
            m_reply.insert(m_reply.end(), bytes.begin(), bytes.end());
        else
            send(bytes);
    }

    void replyEnded(const DrawnFaults& faults) override
    {
        Frame reply = std::exchange(m_reply, {});
        if (m_kind == GatewayKind::ModbusTcp)
            reply = mbapReply(reply, faults);
        if (m_splitting)
            sendInPieces(reply);
        else if (m_kind == GatewayKind::ModbusTcp)
            send(reply);
        m_splitting = false;
        if (faults.disconnect && m_client >= 0) {
            m_note(QStringLiteral("closed the connection from %1").arg(m_peer));
            dropClient();
        }
    }

    void drain() override { }
    bool setBaudRate(int, QString&) override { return true; }

private:
    void readClient(Frame& into)
    {
        if (m_client < 0)
            return;
        std::uint8_t buffer[512];
        for (;;) {
            const ssize_t n = ::read(m_client, buffer, sizeof buffer);
            if (n > 0) {
                if (m_kind == GatewayKind::Transparent)
                    into.insert(into.end(), buffer, buffer + n);
                else
                    m_incoming.insert(m_incoming.end(), buffer, buffer + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                m_note(QStringLiteral("%1 disconnected").arg(m_peer));
                dropClient();
            }
            break;
        }
    }

    struct AskedFor {
        std::uint8_t transaction[2];
        std::uint8_t unit;
        std::uint8_t function;
    };

    void acceptWaiting()
    {
        for (;;) {
            sockaddr_storage peer{};
            socklen_t size = sizeof peer;
            const int socket
                = ::accept4(m_listener, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (socket < 0)
                return;
            if (m_client >= 0) {
                ::close(socket);
                m_note(QStringLiteral("refused %1: %2 is connected, one client at a time").arg(peerName(peer), m_peer));
                continue;
            }
            const int on = 1;
            ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            epoll_event event{};
            event.events = EPOLLIN | EPOLLRDHUP;
            event.data.fd = socket;
            ::epoll_ctl(m_watch, EPOLL_CTL_ADD, socket, &event);
            m_client = socket;
            m_peer = peerName(peer);
            m_note(QStringLiteral("%1 connected").arg(m_peer));
        }
    }

    void dropClient()
    {
        if (m_client < 0)
            return;
        ::epoll_ctl(m_watch, EPOLL_CTL_DEL, m_client, nullptr);
        ::close(m_client);
        m_client = -1;
        m_incoming.clear();
        m_reply.clear();
        m_asked.reset();
        m_answering.reset();
        m_splitting = false;
    }

    void send(std::span<const std::uint8_t> bytes)
    {
        std::size_t sent = 0;
        while (m_client >= 0 && sent < bytes.size()) {
            const ssize_t n = ::send(m_client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n > 0)
                sent += static_cast<std::size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return; // the client's queue is full or it is gone: the rest is lost
        }
    }

    // Each piece leaves in a segment of its own: the socket sends at once
    // (TCP_NODELAY), and the pause keeps the pieces apart on the client's side.
    void sendInPieces(std::span<const std::uint8_t> bytes)
    {
        const std::size_t piece = (bytes.size() + SplitPieces - 1) / SplitPieces;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            if (at > 0)
                std::this_thread::sleep_for(SplitPause);
            send(bytes.subspan(at, std::min(piece, bytes.size() - at)));
        }
    }

    // Each whole Modbus TCP request becomes the RTU frame the gateway puts
    // on the serial line. The line is half duplex: one that comes while a
    // reply is pending is dropped there, and the reply keeps the transaction
    // id of the request it answers (see replyStarts).
    void takeMbapRequests(Frame& into)
    {
        while (m_incoming.size() >= MbapLengthEnd) {
            const std::size_t length = static_cast<std::size_t>(m_incoming[4] << 8 | m_incoming[5]);
            if (m_incoming.size() < MbapLengthEnd + length)
                return;
            const std::uint8_t transaction[2] = {m_incoming[0], m_incoming[1]};
            const auto begin = m_incoming.begin() + MbapLengthEnd;
            Frame body(begin, begin + static_cast<std::ptrdiff_t>(length));
            m_incoming.erase(m_incoming.begin(), begin + static_cast<std::ptrdiff_t>(length));
            if (body.size() < 2)
                continue;
            m_asked = AskedFor{{transaction[0], transaction[1]}, body[0], body[1]};
            const Frame frame = withCrc(std::move(body));
            into.insert(into.end(), frame.begin(), frame.end());
        }
    }

    // The Modbus TCP form of the RTU reply: the request's transaction id,
    // the answering station as unit id, the PDU without CRC. A reply spoilt
    // on the serial line (bad CRC, cut short, garbled) is what a gateway
    // reports as exception 0B.
    Frame mbapReply(const Frame& rtu, const DrawnFaults& faults) const
    {
        if (!m_answering)
            return {};
        Frame body;
        if (rtu.size() >= 4 && hasIntactCrc(rtu))
            body.assign(rtu.begin(), rtu.end() - 2);
        else if (faults.disconnect && rtu.size() >= 2)
            body = rtu; // cut short by the disconnection: sent as far as it goes
        else
            body = {m_answering->unit, static_cast<std::uint8_t>(m_answering->function | 0x80), TargetFailedToRespond};
        std::size_t length = body.size();
        if (faults.disconnect)
            length = static_cast<std::size_t>(announcedReplyLength(body, static_cast<int>(body.size()) + 2) - 2);
        std::uint8_t transaction[2] = {m_answering->transaction[0], m_answering->transaction[1]};
        if (faults.wrongTransaction)
            transaction[1] = static_cast<std::uint8_t>(transaction[1] + 1);
        Frame frame{transaction[0], transaction[1], 0, 0, static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length & 0xFF)};
        frame.insert(frame.end(), body.begin(), body.end());
        return frame;
    }

    int m_listener;
    int m_watch;
    int m_client = -1;
    QString m_name;
    QString m_peer;
    GatewayKind m_kind;
    std::function<void(const QString&)> m_note;
    Frame m_incoming;                    // Modbus TCP bytes not yet a whole request
    Frame m_reply;                       // the RTU reply gathered for translation
    std::optional<AskedFor> m_asked;     // the last request passed on
    std::optional<AskedFor> m_answering; // the request the reply on its way answers
    bool m_splitting = false;            // the reply on its way goes in pieces
};

} // namespace

std::unique_ptr<SerialLine> openGatewayLine(
    const QString& address, quint16 port, GatewayKind kind, std::function<void(const QString&)> note, QString& error)
{
    sockaddr_storage local{};
    socklen_t localSize = 0;
    const QByteArray host = address.toLatin1();
    auto& v4 = reinterpret_cast<sockaddr_in&>(local);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(local);
    if (::inet_pton(AF_INET, host.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        localSize = sizeof v4;
    } else if (::inet_pton(AF_INET6, host.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        localSize = sizeof v6;
    } else {
        error = QStringLiteral("--listen: '%1' is not an IPv4 or IPv6 address").arg(address);
        return nullptr;
    }
    const int listener = ::socket(local.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        error = systemError("cannot open a socket");
        return nullptr;
    }
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&local), localSize) != 0 || ::listen(listener, 4) != 0) {
        error = systemError(qPrintable(QStringLiteral("cannot listen on %1 port %2").arg(address).arg(port)));
        ::close(listener);
        return nullptr;
    }
    sockaddr_storage bound{};
    socklen_t boundSize = sizeof bound;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &boundSize);
    const int watch = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = listener;
    if (watch < 0 || ::epoll_ctl(watch, EPOLL_CTL_ADD, listener, &event) != 0) {
        error = systemError("cannot watch the socket");
        ::close(listener);
        return nullptr;
    }
    return std::make_unique<GatewayLine>(listener, watch, peerName(bound), kind, std::move(note));
}

} // namespace kv::sim

#include "net/tcp_line.h"

namespace kv {

namespace {

TcpFailure failureOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return TcpFailure::Refused;
    case QAbstractSocket::HostNotFoundError:
        return TcpFailure::NameNotFound;
    case QAbstractSocket::NetworkError:
        return TcpFailure::Unreachable;
    case QAbstractSocket::SocketTimeoutError:
        return TcpFailure::TimedOut;
    case QAbstractSocket::RemoteHostClosedError:
        return TcpFailure::ClosedByPeer;
    default:
        return TcpFailure::Other;
    }
}

} // namespace

TcpLine::TcpLine(QString host, quint16 port, Framing framing, QObject* parent)
    : Line(parent)
    , m_host(std::move(host))
    , m_port(port)
    , m_framing(framing)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpLine::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpLine::onDisconnected);
    m_connecting.setSingleShot(true);
    // Only while openAsync() waits: the blocking open() takes its answers itself.
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        if (m_connecting.isActive())
            endConnecting(true);
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (m_connecting.isActive()) {
            fail(failureOf(error));
            endConnecting(false);
        }
    });
    connect(&m_connecting, &QTimer::timeout, this, [this] {
        m_failure = TcpFailure::TimedOut;
        m_failureDetail = QStringLiteral("no answer in time");
        endConnecting(false);
    });
}

TcpLine::~TcpLine()
{
    m_connecting.stop();
    m_open = false;
    m_socket.abort();
}

bool TcpLine::open()
{
    if (m_open)
        return true;
    m_failure = TcpFailure::None;
    m_failureDetail.clear();
    m_socket.abort();
    m_socket.connectToHost(m_host, m_port);
    if (!m_socket.waitForConnected(static_cast<int>(m_connectTimeout.count()))) {
        // Qt reports a connection attempt that ran out of time as a timeout
        // of the wait itself.
        fail(failureOf(m_socket.error()));
        m_socket.abort();
        return false;
    }
    becomeOpen();
    return true;
}

void TcpLine::openAsync()
{
    if (m_open) {
        emit openFinished(true);
        return;
    }
    m_failure = TcpFailure::None;
    m_failureDetail.clear();
    m_connecting.stop();
    m_socket.abort();
    m_connecting.start(m_connectTimeout);
    m_socket.connectToHost(m_host, m_port);
}

void TcpLine::endConnecting(bool opened)
{
    m_connecting.stop();
    if (opened)
        becomeOpen();
    else
        m_socket.abort();
    emit openFinished(opened);
}

void TcpLine::becomeOpen()
{
    // Frames are a few bytes each: send them at once, not gathered.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_open = true;
}

void TcpLine::close()
{
    m_connecting.stop(); // an openAsync() under way ends without a word
    m_open = false;
    m_socket.abort();
}

bool TcpLine::isOpen() const
{
    return m_open;
}

bool TcpLine::write(const QByteArray& bytes)
{
    if (!m_open || m_socket.write(bytes) != bytes.size())
        return false;
    emit chunkWritten(bytes, monotonicNow());
    m_socket.flush();
    return true;
}

QString TcpLine::description() const
{
    const bool ipv6 = m_host.contains(QLatin1Char(':'));
    return (ipv6 ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(m_host).arg(m_port);
}

void TcpLine::onReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    if (bytes.isEmpty() || !m_open)
        return;
    emit chunkArrived(bytes, monotonicNow());
    emit received();
}

void TcpLine::onDisconnected()
{
    if (!m_open)
        return;    // closed by us
    onReadyRead(); // what came before the end is still ours
    m_open = false;
    fail(TcpFailure::ClosedByPeer);
    emit lost();
}

void TcpLine::fail(TcpFailure failure)
{
    m_failure = failure;
    m_failureDetail = m_socket.errorString();
}

} // namespace kv

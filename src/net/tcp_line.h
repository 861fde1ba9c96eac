#pragma once

#include "line/line.h"

#include <QTcpSocket>
#include <QTimer>

#include <chrono>

namespace kv {

// Why a connection to a gateway could not be made or did not last.
enum class TcpFailure {
    None,
    Refused,      // nothing listens on that port
    Unreachable,  // no route to the host
    NameNotFound, // the host name does not resolve
    TimedOut,     // no answer to the connection attempt in time
    ClosedByPeer, // the gateway closed the connection while open
    Other,        // anything else; failureDetail() says what
};

// A line to sensors behind an Ethernet gateway, over one TCP connection to
// HOST:PORT (an IPv4 or IPv6 address or a host name). The gateway either
// passes RTU frames through as they are (Framing::Rtu) or speaks Modbus TCP
// (Framing::Mbap); the line carries the bytes, the engine shapes them.
//
// open() blocks until the connection is made or fails, for at most
// connectTimeout(): the front ends open a line before anything else runs and
// want a yes or no with the reason, as the serial port gives them.
// openAsync() makes it meanwhile, for a program that serves other lines and
// clients while a gateway is slow or gone, and gives up after as long.
// Chunks are stamped when read. TCP delivers whole segments, so the
// reception hold is not needed and ignored.
class TcpLine : public Line {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultConnectTimeout{5000};

    TcpLine(QString host, quint16 port, Framing framing, QObject* parent = nullptr);
    ~TcpLine() override;

    bool open() override;
    void openAsync() override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    int baudRate() const override { return m_baudRate; }
    // "HOST:PORT", an IPv6 address in brackets.
    QString description() const override;
    Framing framing() const override { return m_framing; }
    bool isNetwork() const override { return true; }

    // The rate of the serial line behind the gateway (default 9600): the
    // timeouts are derived from it.
    void setBaudRate(int baudRate) { m_baudRate = baudRate; }
    void setConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }
    std::chrono::milliseconds connectTimeout() const { return m_connectTimeout; }

    // Why the last open() failed or the connection was lost; None while well.
    TcpFailure failure() const { return m_failure; }
    // The system's words for it.
    QString failureDetail() const { return m_failureDetail; }

private:
    void onReadyRead();
    void onDisconnected();
    void fail(TcpFailure failure);
    void becomeOpen();
    void endConnecting(bool opened);

    QTcpSocket m_socket;
    QString m_host;
    quint16 m_port;
    Framing m_framing;
    int m_baudRate = 9600;
    std::chrono::milliseconds m_connectTimeout = DefaultConnectTimeout;
    QTimer m_connecting; // runs while openAsync() waits for the connection
    bool m_open = false;
    TcpFailure m_failure = TcpFailure::None;
    QString m_failureDetail;
};

} // namespace kv

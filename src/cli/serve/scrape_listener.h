#pragma once

#include <QTcpServer>

#include <chrono>

namespace kv::cli {

// The listening socket of the metrics endpoint. Qt's HTTP server keeps a
// connection as long as the client does: one that asks and never reads the
// answer, or never finishes asking, would hold its socket for ever, and
// enough of them would leave the bridge without file descriptors for its
// ports. So a connection quiet both ways for IdleTimeout is closed, and so is
// one whose unread answers pile up beyond MaxUnsentBytes (a client asking on
// and never reading).
class ScrapeListener : public QTcpServer {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds IdleTimeout{10'000};
    static constexpr qint64 MaxUnsentBytes = 1 << 20;

    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override;
};

} // namespace kv::cli

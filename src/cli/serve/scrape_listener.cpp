#include "cli/serve/scrape_listener.h"

#include <QTcpSocket>
#include <QTimer>

namespace kv::cli {

void ScrapeListener::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // The HTTP server deletes the socket once it is disconnected; the timer goes with it.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->callOnTimeout(socket, &QAbstractSocket::abort);
    const auto stirred = [idle] { idle->start(IdleTimeout); };
    // Connected before the HTTP server's own reader: this runs first, and the
    // abort waits until the server is done with what came.
    connect(socket, &QIODevice::readyRead, idle, [socket, stirred] {
        stirred();
        if (socket->bytesToWrite() > MaxUnsentBytes)
            QMetaObject::invokeMethod(socket, &QAbstractSocket::abort, Qt::QueuedConnection);
    });
    connect(socket, &QIODevice::bytesWritten, idle, stirred);
    stirred();
    addPendingConnection(socket);
}

} // namespace kv::cli

#include "app/line_in_use.h"

#include "line/serial_line.h"
#include "net/tcp_line.h"

namespace kv {

LineInUse::LineInUse(SerialLine& serial, QObject* parent)
    : Line(parent)
    , m_serial(serial)
{
    relay(m_serial);
}

LineInUse::~LineInUse() = default;

void LineInUse::relay(Line& line)
{
    // Only the line in use speaks for the window: the other one is closed,
    // but a connection's last bytes may still be on their way.
    auto inUse = [this, &line] { return &line == &active(); };
    connect(&line, &Line::chunkWritten, this, [this, inUse](const QByteArray& bytes, qint64 at) {
        if (inUse())
            emit chunkWritten(bytes, at);
    });
    connect(&line, &Line::chunkArrived, this, [this, inUse](const QByteArray& bytes, qint64 at) {
        if (inUse())
            emit chunkArrived(bytes, at);
    });
    connect(&line, &Line::received, this, [this, inUse] {
        if (inUse())
            emit received();
    });
    connect(&line, &Line::lost, this, [this, inUse] {
        if (inUse())
            emit lost();
    });
}

void LineInUse::useConnection(std::unique_ptr<TcpLine> connection)
{
    m_connection = std::move(connection);
    relay(*m_connection);
    useKeptConnection();
}

void LineInUse::useKeptConnection()
{
    if (m_serial.portOpen())
        m_serial.setPortOpen(false);
    m_onNetwork = m_connection != nullptr;
}

void LineInUse::useSerial()
{
    if (m_connection)
        m_connection->close();
    m_onNetwork = false;
}

Line& LineInUse::active() const
{
    if (m_onNetwork)
        return *m_connection;
    return m_serial;
}

bool LineInUse::open()
{
    return active().open();
}

void LineInUse::close()
{
    active().close();
}

bool LineInUse::isOpen() const
{
    return active().isOpen();
}

bool LineInUse::write(const QByteArray& bytes)
{
    return active().write(bytes);
}

int LineInUse::baudRate() const
{
    return active().baudRate();
}

QString LineInUse::description() const
{
    return active().description();
}

Framing LineInUse::framing() const
{
    return active().framing();
}

bool LineInUse::isNetwork() const
{
    return active().isNetwork();
}

void LineInUse::holdReception(std::chrono::nanoseconds span)
{
    active().holdReception(span);
}

void LineInUse::endHold()
{
    active().endHold();
}

void LineInUse::collectWaiting()
{
    active().collectWaiting();
}

void LineInUse::discardWaiting()
{
    active().discardWaiting();
}

} // namespace kv

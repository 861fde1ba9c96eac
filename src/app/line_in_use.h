#pragma once

#include "line/line.h"

#include <memory>

namespace kv {

class SerialLine;
class TcpLine;

// The window's line: its serial port, or a connection to an Ethernet gateway
// used in its place. The window's engine, queue and traffic record are made
// once, on this line, and follow whichever of the two is in use: it passes
// every call on to that one and relays its chunks, deliveries and loss.
// The connection is kept (closed) while the serial port is in use, so the
// port list can go back to it.
class LineInUse : public Line {
    Q_OBJECT

public:
    explicit LineInUse(SerialLine& serial, QObject* parent = nullptr);
    ~LineInUse() override;

    SerialLine& serial() const { return m_serial; }
    // The last connection made, in use or not; null before the first.
    TcpLine* connection() const { return m_connection.get(); }
    bool onNetwork() const { return m_onNetwork; }

    // Uses this open connection from now on, in place of the serial port
    // (closed) or of the connection before (closed and dropped).
    void useConnection(std::unique_ptr<TcpLine> connection);
    // Uses the kept connection again, open or not yet; the serial port is closed.
    void useKeptConnection();
    // Goes back to the serial port; the connection is closed and kept.
    void useSerial();

    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    int baudRate() const override;
    QString description() const override;
    Framing framing() const override;
    bool isNetwork() const override;
    void holdReception(std::chrono::nanoseconds span) override;
    void endHold() override;
    void collectWaiting() override;
    void discardWaiting() override;

private:
    Line& active() const;
    void relay(Line& line);

    SerialLine& m_serial;
    std::unique_ptr<TcpLine> m_connection;
    bool m_onNetwork = false;
};

} // namespace kv

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

namespace kv {

// Nanoseconds on CLOCK_MONOTONIC, the clock every line stamps its chunks with.
qint64 monotonicNow();

// How the frames on a line are shaped: RTU frames (station, PDU, CRC), on a
// serial line or passed through a transparent gateway, or Modbus TCP frames
// (MBAP header and PDU, no CRC) to a Modbus TCP gateway.
enum class Framing { Rtu, Mbap };

// A line to sensors, whatever carries it: a serial port, later a connection
// to a gateway. The exchange engine, the traffic record and the sweep work on
// this and on nothing else of the transport; each transport implements it.
//
// Every byte that crosses the line is published as a chunk with the
// CLOCK_MONOTONIC time it was handed over or taken: what is written, and
// everything that arrives, also bytes nobody reads. After the chunks of one
// delivery have been published the line says it has received(), the moment a
// reader acts on them; a reader never acts inside chunkArrived(), where the
// listeners after it have not heard the chunk yet.
class Line : public QObject {
    Q_OBJECT

public:
    explicit Line(QObject* parent = nullptr);
    ~Line() override;

    // Opens or closes the line; false when opening failed (the transport
    // says why in its own terms).
    virtual bool open() = 0;
    virtual void close() = 0;
    // Opens without waiting for the transport: openFinished() follows with
    // the outcome, the reason kept as open() keeps it. Unless the transport
    // says otherwise this is open(), reported before it returns. close()
    // while it is under way cancels it: nothing follows.
    virtual void openAsync();
    virtual bool isOpen() const = 0;

    // Queues the bytes for sending, in order, and publishes them as written;
    // false (nothing sent) when the line is closed or cannot take them now.
    virtual bool write(const QByteArray& bytes) = 0;

    // The rate characters cross the line at (for a gateway, that of the
    // serial line behind it): the frames' times on the wire, the timeouts
    // and the 3.5-character silence that ends a frame are derived from it.
    virtual int baudRate() const = 0;

    // What the line is, for the user's messages: a device path or "HOST:PORT".
    virtual QString description() const = 0;

    // The shape of the frames the line carries; the engine writes and judges
    // them in it. RTU unless the transport says otherwise.
    virtual Framing framing() const { return Framing::Rtu; }
    // Whether the frames cross a network to a gateway, which adds its own
    // delay to every answer on top of the serial line behind it.
    virtual bool isNetwork() const { return false; }

    // Pacing reception. While a frame is arriving at the line rate, a reader
    // may hold reception for `span`: the line does not wake it per byte but
    // delivers what came when the span is over, stamped as it crossed the
    // line. endHold() delivers what the hold kept back and ends it early.
    // A transport that delivers whole chunks anyway ignores both.
    virtual void holdReception(std::chrono::nanoseconds span);
    virtual void endHold();
    // Publishes at once what the line has taken in but not delivered yet
    // (kept back by a hold, or still waiting in the transport); the hold, if
    // any, goes on.
    virtual void collectWaiting();
    // Publishes what waits as collectWaiting() does and ends a hold: what
    // came before a request was sent cannot answer it.
    virtual void discardWaiting();

signals:
    // Bytes handed to the transport, when they were handed over.
    void chunkWritten(const QByteArray& bytes, qint64 monotonicNs);
    // Bytes taken from the transport, when they crossed the line.
    void chunkArrived(const QByteArray& bytes, qint64 monotonicNs);
    // The chunks of one delivery have been published.
    void received();
    // The device or connection failed while open; the line is now closed.
    void lost();
    // What openAsync() came to: whether the line is open now.
    void openFinished(bool opened);
};

} // namespace kv

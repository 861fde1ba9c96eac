#pragma once

#include "line/serial_line.h"
#include "serial/line_settings.h"
#include "serial/read_pause.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <chrono>

namespace kv {

// The window's serial port object: a port number, a line settings text, an
// open flag, a receive buffer with an event threshold, and a communication
// event raised on the owner's (the window's) thread. Every setting is accepted
// while the port is closed; bytes beyond the receive buffer are dropped.
//
// Beside the event it publishes every byte that crosses the line, as chunks
// with a CLOCK_MONOTONIC time: what is written, and everything that arrives,
// also bytes nobody reads (a reply too short for the threshold, bytes emptied
// by a buffer reset, bytes beyond the buffer, bytes while nothing is awaited).
// It is the serial transport's Line: the exchange engine and the traffic
// record use it through that interface, the window through its properties.
class CommPort : public SerialLine {
    Q_OBJECT

public:
    // Codes left in commEvent() when onComm() is raised.
    enum Event : int {
        NoEvent = 0,
        ReceiveEvent = 2,      // rThreshold or more bytes wait to be read
        ReceiveOverrun = 1008, // bytes arrived while the receive buffer was full and were dropped
        PortLost = 1100,       // the device failed while open (adapter pulled out); the port is now closed
    };

    explicit CommPort(QObject* parent = nullptr);
    ~CommPort() override;

    // The line, for the exchange engine and the traffic record.
    bool open() override { return setPortOpen(true); }
    void close() override { setPortOpen(false); }
    bool isOpen() const override { return portOpen(); }
    bool write(const QByteArray& bytes) override { return output(bytes); }
    QString description() const override { return m_devicePath; }
    // What waits in the driver is read and published; the receive buffer
    // keeps it (see input()). Asked while a delivery that has just emptied
    // the driver is being received, there is nothing to ask the driver for:
    // what comes after it wakes the reader anew.
    void collectWaiting() override
    {
        if (!m_deliveringDrained)
            takeHeldBytes();
    }
    // The receive buffer emptied, as setInBufferCount(0) does.
    void discardWaiting() override { setInBufferCount(0); }

    int commPort() const override { return m_commPort; }
    // Refused (false, nothing changed) outside 1..255 or while the port is open.
    bool setCommPort(int portNumber) override;
    // A device to open instead of the one the port number stands for (empty:
    // the port number decides). Refused while the port is open.
    bool setDevice(const QString& path) override;

    QString settings() const override { return m_settingsText; }
    int baudRate() const override { return m_lineSettings.baudRate; }
    // Refused (false, nothing changed) for a text that is not a line format;
    // applied at once when the port is open.
    bool setSettings(const QString& text) override;

    bool portOpen() const override { return m_port.isOpen(); }
    // Opens or closes the port; false when that failed (see openFailure()).
    bool setPortOpen(bool open) override;

    int inBufferSize() const { return m_inBufferSize; }
    // Bytes waiting: in the buffer, and those the driver still holds.
    int inBufferCount() const;
    int outBufferCount() const;
    // Writing 0 empties the buffer; any other value is refused.
    bool setInBufferCount(int count);
    bool setOutBufferCount(int count);

    int inputLen() const { return m_inputLen; }
    bool setInputLen(int length);
    int rThreshold() const { return m_rThreshold; }
    bool setRThreshold(int threshold);

    // Queues the bytes for sending, in order; false when the port is closed or
    // the transmit buffer cannot take them.
    bool output(const QByteArray& bytes);
    // Takes the waiting bytes (all of them when inputLen() is 0).
    QByteArray input();

    int commEvent() const { return m_commEvent; }

    // When the last bytes were handed to the driver, and when the last bytes
    // came off the line (CLOCK_MONOTONIC ns, as the chunks are stamped; 0: none yet).
    qint64 lastWrittenAt() const { return m_lastWrittenAt; }
    qint64 lastArrivedAt() const { return m_lastArrivedAt; }

    // Stops watching the line for `span` while the rest of a frame already
    // arriving comes: its bytes wait in the driver and are taken when the hold
    // is over (published, kept, the receive event raised as due), so a frame
    // paced at the line rate wakes the program once rather than per byte.
    // They are stamped as the line delivered them, back to back from the
    // hold's start, and never later than when they were taken. endHold() and
    // closing the port end it early.
    void holdReception(std::chrono::nanoseconds span) override;
    void endHold() override;
    bool holding() const { return m_readPause.paused(); }

    // The receive path: bytes that came off the line join the receive buffer
    // (what does not fit is dropped and reported) and raise the receive event
    // once the threshold is reached.
    void acceptArrived(const QByteArray& arrived);

    // The device the last open concerned, why that open failed as a kind a
    // caller words in its own language, and the system's own words for it.
    QString devicePath() const override { return m_devicePath; }
    OpenFailure openFailure() const override { return m_openFailure; }
    QString openFailureDetail() const override { return m_openFailureDetail; }

    // Nanoseconds on CLOCK_MONOTONIC, the clock of the chunks' times.
    static qint64 monotonicNow() { return kv::monotonicNow(); }

signals:
    void onComm();

private:
    // Bytes the transmit queue holds at most; output() refuses more.
    static constexpr int OutBufferSize = 512;

    bool keep(const QByteArray& arrived); // false when some did not fit
    void publishArrived(const QByteArray& arrived, qint64 at);
    QByteArray takeBuffered();
    QByteArray readFromDriver();
    // Reads what waits, publishes it with the time it arrived, and returns it.
    QByteArray takeWaiting();
    qint64 arrivalTime(qsizetype bytes);
    void takeHeldBytes();
    void gatherRest();
    void holdEnded();
    void releaseHold();
    void handlePortError(QSerialPort::SerialPortError error);
    void closeLostPort();
    void raise(Event event);
    bool applySettings(const LineSettings& settings);
    OpenFailure classifyOpenFailure() const;

    QSerialPort m_port;
    QByteArray m_inBuffer;
    QString m_settingsText;
    LineSettings m_lineSettings;
    QString m_devicePath;
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_openFailureDetail;
    QString m_device; // set by setDevice()
    // While reception is held, the serial port does not read.
    QTimer m_hold;
    ReadPause m_readPause{m_port};
    qint64 m_heldSince = 0;  // monotonic ns the bytes taken at the hold's end count from
    qsizetype m_heldFor = 0; // bytes the hold waits for; 0: an explicit hold
    int m_commPort = 1;
    int m_inBufferSize = 1024;
    int m_inputLen = 0;
    int m_rThreshold = 0;
    int m_commEvent = NoEvent;
    qint64 m_lastWrittenAt = 0;
    qint64 m_lastArrivedAt = 0;
    bool m_losingPort = false;
    bool m_deliveringDrained = false; // received() of a delivery that emptied the driver
    void announceDrained();
};

} // namespace kv

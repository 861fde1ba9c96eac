#pragma once

#include "cli/command_line.h"
#include "cli/frame_log.h"
#include "cli/record_sink.h"
#include "line/serial_line.h"
#include "net/tcp_line.h"
#include "session/modbus_master.h"

#include <chrono>
#include <functional>
#include <memory>

namespace kv::cli {

// The line a command talks on: the serial port the options name at their
// rate, or the connection to the gateway they name; a master with their
// timeout, and the frame log for --verbose.
class Line {
public:
    explicit Line(const Options& options);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Opens the port; when that fails, says why on standard error.
    bool open();
    // Opens the port quietly: empty when it opened, else why not.
    QString openFailure();
    // The same without blocking the event loop: `done` gets it once the port
    // opened or failed (a serial port at once, a gateway's connection when
    // made or given up). close() before that cancels it.
    void openAsync(std::function<void(const QString& failure)> done);
    // Closes the port or the connection, so that open() can try again.
    void close();
    // How long opening a gateway's connection may block (the default: TcpLine's).
    void setConnectTimeout(std::chrono::milliseconds timeout);
    // Waits, without serving the event loop, until the next request may go out.
    void waitForQuiet() const;
    // The line is done with: --verbose writes what is still open.
    void finishLog();
    // The sensors were told to talk at another rate: the line follows.
    void followRate(int baudRate);
    // Whether it runs through a gateway, where losing it is a failure of the line.
    bool throughGateway() const { return m_gateway != nullptr; }
    // What the user is told when the line was lost while in use.
    QString lostText() const;
    // When the outcome says the gateway closed the connection, says so on
    // standard error and returns true: the command ends with PortError.
    bool gatewayGone(const Outcome& outcome) const;
    // The port or the gateway, as the messages and records name it.
    QString description() const { return m_gateway ? m_gateway->description() : m_named; }

private:
    std::unique_ptr<kv::Line> m_line;
    SerialLine* m_serial = nullptr; // the serial port, or
    TcpLine* m_gateway = nullptr;   // the connection to a gateway

public:
    ModbusMaster master{*m_line};

private:
    QString problem() const;

    QString m_named;
    std::unique_ptr<FrameLog> m_log;
    QMetaObject::Connection m_opening;
};

// "kv9240b: " and the text, to standard error.
void complain(const QString& text);

// Opens where the records go; when that fails, says why on standard error.
bool openSink(RecordSink& sink, const Options& options);

// Writes a record line; a closed reader or a failure is noted in `ended`.
enum class Ended { No, ReaderGone, WriteFailed };
bool writeRecord(RecordSink& sink, const QString& line, Ended& ended);

} // namespace kv::cli

#pragma once

#include "fault_rules.h"
#include "frame.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace kv::sim {

// What reading the line found.
enum class LineState {
    Open,
    PeerAbsent, // nobody has the other end of the pseudo-terminal open
    Failed,     // the device is gone: nothing more can be served
};

// The simulator's end of a serial line, as a file descriptor to wait on.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    virtual int descriptor() const = 0;
    // The device the tool should open.
    virtual QString devicePath() const = 0;

    // True when a UART shifts the bytes out at the baud rate by itself, so a
    // reply is handed over whole; a pseudo-terminal needs every byte paced.
    virtual bool pacedByHardware() const = 0;

    // The rate the program at the other end has set on its side, where the
    // line can tell: a pseudo-terminal shows it (0 for a rate without a
    // number), a real port does not, and there bytes sent at another rate
    // arrive garbled anyway.
    virtual std::optional<int> peerBaudRate() const = 0;

    // Appends whatever has arrived.
    virtual LineState receive(Frame& into) = 0;
    // Puts bytes on the line. Bytes nobody can take are lost, as on a wire.
    virtual void transmit(std::span<const std::uint8_t> bytes) = 0;
    // Returns once everything transmitted has left.
    virtual void drain() = 0;
    // A reply with these faults is about to be handed over with transmit().
    // A line to a gateway notes the request it answers and how to send it.
    virtual void replyStarts(const DrawnFaults&) { }
    // The reply handed over with transmit() is complete. A line to a gateway
    // sends what it has gathered, and carries out the faults only it can
    // (another transaction id, the connection closed, the reply split).
    virtual void replyEnded(const DrawnFaults&) { }
    virtual bool setBaudRate(int baudRate, QString& error) = 0;
};

} // namespace kv::sim

#pragma once

#include "fault_rules.h"
#include "frame.h"

#include <QRandomGenerator>

#include <chrono>
#include <optional>
#include <vector>

#include <signal.h>

namespace kv::sim {

class SensorBus;
class SerialLine;
class SimLog;

// Serves the sensors on a line with a real device's timing: a frame ends after
// 3.5 characters of silence; the reply starts the turnaround after the end of
// the request and leaves byte by byte at the baud rate. Half duplex, one
// request at a time: a request that overlaps a pending reply is dropped.
class SimServer {
public:
    using Clock = std::chrono::steady_clock;

    struct Settings {
        std::chrono::milliseconds turnaround{5};
        std::vector<FaultRule> faults;
    };

    SimServer(SerialLine& line, SensorBus& bus, QRandomGenerator& random, const SimLog& log, Settings settings);

    // Serves until SIGINT or SIGTERM; returns the exit code.
    int run(const sigset_t& waitMask);

private:
    // A reply on its way out. Byte i is handed to a pseudo-terminal when it
    // would have been fully received on a wire: start + (i + 1) characters.
    struct Outgoing {
        Frame bytes;
        Clock::time_point start;
        int baudRate; // the rate the senders heard the request at
        std::vector<std::size_t> senders;
        DrawnFaults faults;
        std::size_t written = 0;
    };

    std::optional<Clock::time_point> nextDeadline() const;
    Clock::time_point transmissionEnd() const;
    Clock::time_point frameEnd() const;
    bool wait(std::optional<Clock::time_point> deadline, const sigset_t& waitMask);
    bool takeInput(short events);
    void frameEnded(Clock::time_point now);
    void startReply(Frame request, std::vector<std::size_t> senders, Clock::time_point now);
    void sendDueBytes(Clock::time_point now);
    void replySent(Clock::time_point now);

    SerialLine& m_line;
    SensorBus& m_bus;
    QRandomGenerator& m_random;
    const SimLog& m_log;
    Settings m_settings;

    Clock::time_point m_started;
    int m_lineBaudRate; // the rate the port runs at: a new one applies after the reply
    bool m_failed = false;
    bool m_peerAbsent = false;
    Frame m_incoming;
    int m_incomingBaudRate = 0; // the rate the frame coming in was sent at; 0 for one without a number
    bool m_incomingOverlapsReply = false;
    Clock::time_point m_lastByteIn;
    std::optional<Outgoing> m_outgoing;
};

} // namespace kv::sim

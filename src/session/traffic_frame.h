#pragma once

#include "protocol/modbus/reply_check.h"

#include <QByteArray>

#include <cstdint>

namespace kv {

enum class Direction : std::uint8_t { Sent, Received };

// What a frame of the traffic log is.
enum class FrameVerdict : std::uint8_t {
    Request, // a frame we sent
    Ok,      // the whole, intact answer to the request
    BadCrc,
    Exception,
    Partial,     // fewer bytes than the frame needs
    Unexpected,  // intact, but another station, function or shape than asked
    Late,        // an answer that came after the next request went out (see check for what it was)
    NoReply,     // nothing came (before the next request, or within a second)
    Unsolicited, // bytes with no request outstanding
    PortLost,    // the device went away
};

// One row of the traffic log: a frame sent, a frame received, or a statement
// about the line (no reply, port lost) that carries no bytes.
struct TrafficFrame {
    std::uint64_t number = 0; // running number since the recorder started, from 1
    qint64 at = 0;            // CLOCK_MONOTONIC ns: handed over (sent), last byte taken (received), stated (others)
    qint64 wallMs = 0;        // the same moment as milliseconds since the epoch
    qint64 sincePrevious = 0; // ns since the previous row
    Direction direction = Direction::Sent;
    FrameVerdict verdict = FrameVerdict::Request;
    QByteArray bytes;
    QByteArray request;              // for an answer or a no reply: the request it belongs to
    std::uint64_t requestNumber = 0; // that request's row number; 0 when none
    ReplyCheck check;                // for an answer: how it was judged
    qint64 waited = 0;               // for a no reply: ns waited since the request
    bool beforeNextRequest = false;  // for a no reply: the next request ended the wait
    int baudRate = 0;                // the line rate the frame travelled at
    bool network = false;            // for a lost line: it was a connection to a gateway

    bool isProblem() const { return verdict != FrameVerdict::Request && verdict != FrameVerdict::Ok; }
};

} // namespace kv

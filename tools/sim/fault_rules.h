#pragma once

#include "frame.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

namespace kv::sim {

enum class FaultKind {
    BadCrc,
    NoReply,
    Partial,
    ExtraBytes,
    Exception,
    Delay,
    WrongStation,
    WrongTransaction, // a Modbus TCP reply with another transaction id
    Disconnect,       // the connection closed halfway through the reply (on a network line)
    Split,            // the reply sent in three TCP segments with pauses between (on a network line)
};

// One --fault option: how often a kind of fault hits a reply, and which.
struct FaultRule {
    FaultKind kind = FaultKind::NoReply;
    double probability = 0;
    std::chrono::milliseconds delay{200}; // delay only
    std::optional<std::uint8_t> onlyTo;   // only replies to requests for this station (250: every sensor)
    std::optional<int> timesLeft;         // hits still to come; empty: no limit
};

// Reads "KIND:PROBABILITY", or "delay:PROBABILITY[:MS]", each optionally
// followed by ",to=STATION" and ",times=N". On failure returns nothing and
// says why in error.
std::optional<FaultRule> parseFaultRule(const QString& text, QString& error);

// The faults that hit one reply.
struct DrawnFaults {
    bool noReply = false;
    bool exception = false;
    bool badCrc = false;
    bool partial = false;
    bool extraBytes = false;
    bool wrongStation = false;
    bool wrongTransaction = false;
    bool disconnect = false;
    bool split = false;
    std::chrono::milliseconds delay{0};
};

// Every rule that applies to a request for `station` draws on its own; a
// rule's hit counts against its times.
DrawnFaults drawFaults(std::span<FaultRule> rules, std::uint8_t station, QRandomGenerator& random);

// The station a wrong-station reply comes from: the next one, 247 followed by 1,
// so that it is always an ordinary station and never the one asked.
std::uint8_t neighbourStation(std::uint8_t station);

// Spoils a reply as drawn (from the neighbouring station with a CRC to match,
// bad CRC, cut short, trailing bytes, cut in half for a disconnection) and
// describes each change for the log. What only a network line can spoil (the
// transaction id, the connection) is the line's to carry out.
QStringList damageReply(Frame& reply, const DrawnFaults& faults, QRandomGenerator& random);

} // namespace kv::sim

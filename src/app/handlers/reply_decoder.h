#pragma once

#include "protocol/kv9240b/measurement.h"
#include "protocol/modbus/reply_check.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kv {

// What a batch of received bytes says to the window, given the request it
// should answer (its kind and frame) and the start address typed for
// measurement queries. Pure: the reply handler writes the result into the window.
struct DecodedReply {
    // Only an accepted reply is counted as a reception and brings the green
    // lamp; a refused one shows red and changes no box. Bytes that arrive
    // before any request answer nothing: they are only shown.
    enum class Verdict { Accepted, Refused, NoRequest };

    struct Value {
        int row;      // txtValue(row)
        QString text; // as shown in the box
    };
    Verdict verdict = Verdict::NoRequest;
    std::vector<Value> values;
    std::vector<int> blackened; // txtValue boxes whose text colour goes black
    std::optional<int> address; // for txtSetID(0) and txtStationID
    // An accepted measurement: the rows' values as the window shows them, and
    // the start register typed, which decides what the rows hold.
    std::optional<Measurement> measurement;
    int startRegister = 0;

    bool accepted() const { return verdict == Verdict::Accepted; }
};

// Decodes a reply the exchange engine judged (`check`, against `request`).
// A measurement reply is accepted when the engine found it the whole, intact
// answer to the query and it carries two data bytes for each register asked
// for. An address or write reply is accepted when it is the whole, intact
// answer of a station 1 to 250; it gives the address to show: the answering
// station, or for an address change the new address its echo carries.
DecodedReply decodeReply(std::span<const std::uint8_t> bytes, const ReplyCheck& check, int cmdType,
    std::span<const std::uint8_t> request, const QString& startAddressText);

} // namespace kv

#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kv {

// What a batch of received bytes says to the window, given the kind of the
// request it answers and the start address typed for measurement queries.
// Pure: the reply handler writes the result into the window.
struct DecodedReply {
    struct Value {
        int row;      // txtValue(row)
        QString text; // as shown in the box
    };
    std::vector<Value> values;
    std::vector<int> blackened; // txtValue boxes whose text colour goes black
    std::optional<int> address; // for txtSetID(0) and txtStationID
    bool sound = true;          // false: a measurement reply that is short, corrupt or an exception
};

DecodedReply decodeReply(std::span<const std::uint8_t> bytes, int cmdType, const QString& startAddressText);

// Whether a measurement reply can be trusted: it must be whole (3 + n + 2 bytes for n announced data bytes, n even and above 0),
// carry a matching CRC and not be an exception reply.
bool isSoundMeasurementReply(std::span<const std::uint8_t> bytes);

} // namespace kv

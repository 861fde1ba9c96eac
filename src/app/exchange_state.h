#pragma once

#include "protocol/kv9240b/request_frames.h"

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>

namespace kv {

// Request kinds recorded in CmdType; they tell the reply handler how to decode.
// An address read and a parameter write share kind 6: both replies carry the
// answering station in their first byte.
namespace RequestKind {
inline constexpr std::int16_t None = 0;
inline constexpr std::int16_t Measurement = 1;
inline constexpr std::int16_t AddressChange = 5;
inline constexpr std::int16_t AddressRead = 6;
inline constexpr std::int16_t ParameterWrite = 6;
} // namespace RequestKind

// A write or address request: its kind, frame head, expected reply length and
// the number of buffered bytes that raises the receive event.
struct WriteRequest {
    std::int16_t cmdType;
    FrameHead head;
    std::int16_t recLen;
    int threshold;
};

// Window-level variables that tie the port choice, a request and its reply
// together. They live as long as the window.
struct ExchangeState {
    std::int16_t CommNum = 0;  // selected port number, 1 = COM1
    std::int16_t CommRate = 0; // baud rate
    std::int16_t CmdType = RequestKind::None;
    std::int16_t RecLen = 0; // reply length the last request expects
    // The names are the window's own and read the wrong way round: HiByte
    // holds the CRC's LOW-order byte (sent first), LoByte its HIGH-order byte.
    std::int32_t HiByte = 0;
    std::uint8_t LoByte = 0;
    QString SendText;          // hex text of the request being sent
    std::int32_t RecCount = 0; // replies accepted since polling last started
    bool CycleOn = false;      // the polling tick may send
    // The frame of the last request, kept with CmdType: what arrives is
    // judged against it (the station, function and length it asked for).
    Frame LastRequest{};
    // The query on the line and the write or address request waiting for
    // its turn or on the line, by their ids in the line's exchange queue (0:
    // none). Polling ticks send nothing while a write is pending, so neither
    // runs into the other; a later press replaces a write still waiting.
    quint64 QueryId = 0;
    quint64 WriteId = 0;
    std::optional<WriteRequest> PendingWrite; // what WriteId asks
    Frame PendingFrame{};                     // and its frame
};

} // namespace kv

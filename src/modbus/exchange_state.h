#pragma once

#include <QString>

#include <cstdint>

namespace kv {

// Request kinds recorded in CmdType; they tell the reply handler how to decode.
namespace RequestKind {
inline constexpr std::int16_t None = 0;
inline constexpr std::int16_t Measurement = 1;
inline constexpr std::int16_t AddressChange = 5;
inline constexpr std::int16_t AddressReadOrWrite = 6;
} // namespace RequestKind

// Window-level variables that tie the port choice, a request and its reply
// together. They live as long as the window.
struct ExchangeState {
    std::int16_t CommNum = 0;  // selected port number, 1 = COM1
    std::int16_t CommRate = 0; // baud rate
    std::int16_t CmdType = RequestKind::None;
    std::int16_t RecLen = 0;   // reply length the last request expects
    std::int32_t HiByte = 0;   // CRC low-order byte of the last frame (sent first)
    std::uint8_t LoByte = 0;   // CRC high-order byte of the last frame (sent second)
    QString SendText;          // hex text of the request being sent
    std::int32_t RecCount = 0; // communication events since polling last started
    bool CycleOn = false;      // the polling tick may send
};

} // namespace kv

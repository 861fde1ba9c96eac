#pragma once

#include "protocol/modbus/reply_check.h"

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <span>

namespace kv {

// Modbus TCP: every frame is a 7-byte header (MBAP: transaction id, protocol
// 0, the length of what follows, unit id) and the PDU, with no CRC. A gateway
// passes the unit id on as the station of the RTU frame behind it.
constexpr int MbapHeaderLength = 7;
// Unit id and PDU at most: a Modbus PDU is at most 253 bytes.
constexpr int MbapLongestLength = 254;

// The Modbus TCP form of an RTU request (station, PDU, CRC): the station
// becomes the unit id, the CRC is dropped. Empty for fewer than 4 bytes.
QByteArray mbapRequest(std::span<const std::uint8_t> rtuRequest, std::uint16_t transactionId);

// The RTU-shaped view of a Modbus TCP frame: unit id and PDU, as an RTU frame
// without its CRC (what follows the length field). Empty while the header is short.
std::span<const std::uint8_t> mbapAnswer(std::span<const std::uint8_t> frame);

// Judges the bytes that arrived after an MBAP request, as checkReply judges
// an RTU reply and with the same verdicts: Partial until as many bytes as the
// length field announces have come; Unexpected for another transaction id or
// protocol (Mismatch::Transaction), a length field the PDU disagrees with
// (Shape), another unit id (Station); then the PDU as judgeAnswer judges it,
// gateway exceptions 0A and 0B included. Counts (`expected`, `received`) are
// of Modbus TCP bytes, header included. There is no CRC, so never BadCrc.
ReplyCheck checkMbapReply(
    std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply, std::optional<std::uint8_t> anyStation);

} // namespace kv

#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace kv {

// What a reply is, judged against the request it answers.
enum class ReplyVerdict {
    Ok,         // whole, intact, and the answer to what was asked
    NoReply,    // nothing arrived
    Partial,    // fewer bytes than the frame needs
    BadCrc,     // whole, but its CRC does not match
    Exception,  // an intact exception reply from the station asked
    Unexpected, // intact, but not the answer asked for (see Mismatch)
};

// Why an intact reply is not the answer asked for.
enum class Mismatch {
    None,
    Station,     // another station answered
    Function,    // another function code
    Shape,       // another byte count, register or length than the request implies
    Transaction, // a Modbus TCP header of another transaction or protocol
};

// The length of an exception reply: station, function with the exception
// bit, exception code, CRC.
constexpr int ExceptionLength = 5;

struct ReplyCheck {
    ReplyVerdict verdict = ReplyVerdict::NoReply;
    Mismatch mismatch = Mismatch::None;
    int received = 0; // bytes judged as the reply
    int expected = 0; // bytes a whole reply has (5 for an exception)
    int trailing = 0; // bytes after a whole frame, not part of it
    std::uint8_t exceptionCode = 0;
    bool whole = false; // as many bytes arrived as the frame's own header announces

    bool ok() const { return verdict == ReplyVerdict::Ok; }
};

// The length of the whole normal reply to a request: 5 + 2 x count for reads
// (functions 1 to 4 count registers or bits in bytes), 8 for single and
// multiple writes (5, 6, 15, 16); 0 when the function is not one of those.
int expectedReplyLength(std::span<const std::uint8_t> request);

// Judges the bytes that arrived after `request`. A request to `anyStation`, on
// a device model that has one, is answered by any device with its own station
// (1 up to `anyStation`); a read reply must carry twice as many data bytes as
// registers asked for; a write echo must name the register written.
ReplyCheck checkReply(
    std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply, std::optional<std::uint8_t> anyStation);

// The length a reply's own header gives it (station, function, byte count),
// CRC included; `fallback` while too little of it has come to tell.
int announcedReplyLength(std::span<const std::uint8_t> reply, int fallback);

// The one judge of what an intact answer says, whatever carried it: the
// station (or unit id) and the PDU, without CRC or Modbus TCP header, against
// the request. Sets the verdict to Ok, Exception or Unexpected (with why).
void judgeAnswer(std::span<const std::uint8_t> request, std::span<const std::uint8_t> answer,
    std::optional<std::uint8_t> anyStation, ReplyCheck& check);

// The standard name of a Modbus exception code in the window's language
// ("非法数据地址" for 02), or an empty text for a code the standard does not name.
QString exceptionName(std::uint8_t code);
// The same in English ("illegal data address"), for the command line.
QString exceptionNameInEnglish(std::uint8_t code);

} // namespace kv

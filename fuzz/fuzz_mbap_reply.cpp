// Any bytes from a Modbus TCP gateway after any request: the judge must never
// read past them, and what it accepts must carry the request's transaction id
// and as many bytes as the length field announces, the PDU being an answer
// the RTU judge accepts too.
#include "fuzz_check.h"
#include "protocol/kv9240b/sensor_reply.h"
#include "protocol/modbus/crc16.h"
#include "protocol/modbus/mbap.h"

#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t RtuRequestBytes = 8;
    if (size < 2 + RtuRequestBytes)
        return 0;
    const auto transactionId = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    const std::span<const std::uint8_t> rtuRequest(data + 2, RtuRequestBytes);
    const std::span<const std::uint8_t> reply(data + 2 + RtuRequestBytes, size - 2 - RtuRequestBytes);

    const QByteArray request = kv::mbapRequest(rtuRequest, transactionId);
    require(request.size() == kv::MbapHeaderLength + 5);
    const kv::ReplyCheck check = kv::checkMbapReply(kv::asSpan(request), reply);
    require(check.verdict != kv::ReplyVerdict::BadCrc);
    if (check.whole)
        require(check.received + check.trailing == static_cast<int>(reply.size()));
    if (check.verdict == kv::ReplyVerdict::Ok || check.verdict == kv::ReplyVerdict::Exception) {
        require(check.whole && reply[0] == data[0] && reply[1] == data[1] && reply[2] == 0 && reply[3] == 0);
        require((reply[4] << 8 | reply[5]) + 6 == check.received);
        // The same answer as an RTU frame gets the same verdict.
        std::vector<std::uint8_t> rtu(reply.begin() + 6, reply.begin() + check.received);
        const std::uint16_t crc = kv::crc16Modbus(rtu);
        rtu.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        rtu.push_back(static_cast<std::uint8_t>(crc >> 8));
        require(kv::checkReply(rtuRequest, rtu).verdict == check.verdict);
    }
    return 0;
}

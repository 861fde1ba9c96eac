#include "protocol/modbus/mbap.h"

#include <algorithm>

namespace kv {

namespace {

constexpr int LengthFieldEnd = 6; // transaction id, protocol and length
constexpr int CrcBytes = 2;

int word(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return bytes[at] << 8 | bytes[at + 1];
}

// The RTU length of an answer, CRC included, as the Modbus TCP length of the same answer.
int mbapLength(int rtuLength)
{
    return rtuLength - CrcBytes + LengthFieldEnd;
}

} // namespace

QByteArray mbapRequest(std::span<const std::uint8_t> rtuRequest, std::uint16_t transactionId)
{
    if (rtuRequest.size() < 4)
        return {};
    const auto unitAndPdu = rtuRequest.first(rtuRequest.size() - CrcBytes);
    const auto length = static_cast<std::uint16_t>(unitAndPdu.size());
    QByteArray frame;
    frame.reserve(LengthFieldEnd + static_cast<qsizetype>(unitAndPdu.size()));
    frame.append(static_cast<char>(transactionId >> 8));
    frame.append(static_cast<char>(transactionId & 0xFF));
    frame.append(2, '\0'); // protocol 0: Modbus
    frame.append(static_cast<char>(length >> 8));
    frame.append(static_cast<char>(length & 0xFF));
    frame.append(reinterpret_cast<const char*>(unitAndPdu.data()), static_cast<qsizetype>(unitAndPdu.size()));
    return frame;
}

std::span<const std::uint8_t> mbapAnswer(std::span<const std::uint8_t> frame)
{
    if (frame.size() < static_cast<std::size_t>(LengthFieldEnd))
        return {};
    return frame.subspan(LengthFieldEnd);
}

ReplyCheck checkMbapReply(
    std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply, std::optional<std::uint8_t> anyStation)
{
    ReplyCheck check;
    const std::span<const std::uint8_t> asked = mbapAnswer(request);
    // The RTU request the answer is judged against; its length rules need no CRC.
    check.expected = mbapLength(expectedReplyLength(asked));
    const int arrived = static_cast<int>(reply.size());
    if (arrived == 0 || asked.size() < 6)
        return check;
    check.received = arrived;
    if (arrived < LengthFieldEnd) {
        check.verdict = ReplyVerdict::Partial;
        return check;
    }

    auto unexpected = [&](Mismatch why) {
        check.verdict = ReplyVerdict::Unexpected;
        check.mismatch = why;
        return check;
    };
    const int length = word(reply, 4);
    const int exceptionLength = mbapLength(ExceptionLength);
    // A length no Modbus frame has, or more than any answer to this request:
    // waiting for it could only end in the timeout.
    if (length < 2 || length > MbapLongestLength || LengthFieldEnd + length > std::max(check.expected, exceptionLength))
        return unexpected(Mismatch::Shape);
    const int own = LengthFieldEnd + length;
    if (arrived < own) {
        check.verdict = ReplyVerdict::Partial;
        return check;
    }
    check.received = own;
    check.trailing = arrived - own;
    check.whole = true;

    if (word(reply, 0) != word(request, 0) || word(reply, 2) != 0)
        return unexpected(Mismatch::Transaction);
    const auto answer = reply.subspan(LengthFieldEnd, static_cast<std::size_t>(length));
    if ((answer[1] & 0x80) != 0)
        check.expected = exceptionLength;
    // The length field and the PDU's own header must tell the same length.
    if (announcedReplyLength(answer, 0) != length + CrcBytes)
        return unexpected(Mismatch::Shape);
    judgeAnswer(asked, answer, anyStation, check);
    return check;
}

} // namespace kv

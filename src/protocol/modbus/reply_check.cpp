#include "protocol/modbus/reply_check.h"

#include "protocol/modbus/crc16.h"

#include <QCoreApplication>

namespace kv {

namespace {

constexpr int WriteReplyLength = 8;
constexpr std::uint8_t ExceptionBit = 0x80;
constexpr int CrcBytes = 2;

bool isRead(std::uint8_t function)
{
    return function >= 1 && function <= 4;
}

bool isWrite(std::uint8_t function)
{
    return function == 5 || function == 6 || function == 15 || function == 16;
}

bool stationAnswers(std::uint8_t asked, std::uint8_t answered, std::optional<std::uint8_t> anyStation)
{
    if (anyStation && asked == *anyStation)
        return answered >= 1 && answered <= *anyStation;
    return asked == answered;
}

} // namespace

int announcedReplyLength(std::span<const std::uint8_t> reply, int fallback)
{
    if (reply.size() >= 2 && (reply[1] & ExceptionBit))
        return ExceptionLength;
    if (reply.size() >= 3 && isRead(reply[1]))
        return 5 + reply[2];
    if (reply.size() >= 2 && isWrite(reply[1]))
        return WriteReplyLength;
    return fallback;
}

int expectedReplyLength(std::span<const std::uint8_t> request)
{
    if (request.size() < 6)
        return 0;
    const int count = request[4] << 8 | request[5];
    switch (request[1]) {
    case 1:
    case 2:
        return 5 + (count + 7) / 8;
    case 3:
    case 4:
        return 5 + 2 * count;
    default:
        return isWrite(request[1]) ? WriteReplyLength : 0;
    }
}

ReplyCheck checkReply(
    std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply, std::optional<std::uint8_t> anyStation)
{
    ReplyCheck check;
    check.expected = expectedReplyLength(request);
    const int arrived = static_cast<int>(reply.size());
    if (arrived == 0 || request.size() < 6)
        return check;

    const bool exceptionShaped = arrived >= 2 && (reply[1] & ExceptionBit);
    if (exceptionShaped)
        check.expected = ExceptionLength;
    const int own = announcedReplyLength(reply, check.expected);
    if (arrived < own) {
        check.received = arrived;
        // More announced than asked for and than arrived: not our answer at all.
        check.verdict
            = arrived < check.expected || own == check.expected ? ReplyVerdict::Partial : ReplyVerdict::Unexpected;
        check.mismatch = check.verdict == ReplyVerdict::Unexpected ? Mismatch::Shape : Mismatch::None;
        return check;
    }
    check.received = own;
    check.trailing = arrived - own;
    check.whole = true;
    const auto frame = reply.first(static_cast<std::size_t>(own));
    if (own < 4 || !hasCrcAfter(frame, static_cast<std::size_t>(own - 2))) {
        check.verdict = ReplyVerdict::BadCrc;
        return check;
    }

    judgeAnswer(request, frame.first(frame.size() - CrcBytes), anyStation, check);
    return check;
}

void judgeAnswer(std::span<const std::uint8_t> request, std::span<const std::uint8_t> answer,
    std::optional<std::uint8_t> anyStation, ReplyCheck& check)
{
    auto unexpected = [&](Mismatch why) {
        check.verdict = ReplyVerdict::Unexpected;
        check.mismatch = why;
    };
    if (request.size() < 6 || answer.size() < 2)
        return unexpected(Mismatch::Shape);
    if (!stationAnswers(request[0], answer[0], anyStation))
        return unexpected(Mismatch::Station);
    if ((answer[1] & ~ExceptionBit) != request[1])
        return unexpected(Mismatch::Function);
    if (answer[1] & ExceptionBit) {
        if (answer.size() != ExceptionLength - CrcBytes)
            return unexpected(Mismatch::Shape);
        check.verdict = ReplyVerdict::Exception;
        check.exceptionCode = answer[2];
        return;
    }
    if (static_cast<int>(answer.size()) + CrcBytes != expectedReplyLength(request))
        return unexpected(Mismatch::Shape);
    if (isWrite(request[1]) && (answer[2] != request[2] || answer[3] != request[3]))
        return unexpected(Mismatch::Shape);
    check.verdict = ReplyVerdict::Ok;
}

namespace {

struct ExceptionNames {
    std::uint8_t code;
    const char* window;  // in the window's language, translated
    const char* english; // for the command line and scripts
};

constexpr ExceptionNames StandardExceptions[] = {
    {0x01, QT_TRANSLATE_NOOP("kv::Modbus", "非法功能"), "illegal function"},
    {0x02, QT_TRANSLATE_NOOP("kv::Modbus", "非法数据地址"), "illegal data address"},
    {0x03, QT_TRANSLATE_NOOP("kv::Modbus", "非法数据值"), "illegal data value"},
    {0x04, QT_TRANSLATE_NOOP("kv::Modbus", "从站设备故障"), "server device failure"},
    {0x05, QT_TRANSLATE_NOOP("kv::Modbus", "确认"), "acknowledge"},
    {0x06, QT_TRANSLATE_NOOP("kv::Modbus", "从站设备忙"), "server device busy"},
    {0x08, QT_TRANSLATE_NOOP("kv::Modbus", "存储奇偶性差错"), "memory parity error"},
    {0x0A, QT_TRANSLATE_NOOP("kv::Modbus", "不可用网关路径"), "gateway path unavailable"},
    {0x0B, QT_TRANSLATE_NOOP("kv::Modbus", "网关目标设备响应失败"), "gateway target device failed to respond"},
};

const ExceptionNames* namesOf(std::uint8_t code)
{
    for (const ExceptionNames& names : StandardExceptions) {
        if (names.code == code)
            return &names;
    }
    return nullptr;
}

} // namespace

QString exceptionName(std::uint8_t code)
{
    const ExceptionNames* names = namesOf(code);
    return names ? QCoreApplication::translate("kv::Modbus", names->window) : QString();
}

QString exceptionNameInEnglish(std::uint8_t code)
{
    const ExceptionNames* names = namesOf(code);
    return names ? QString::fromLatin1(names->english) : QString();
}

} // namespace kv

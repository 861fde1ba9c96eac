#include "session/frame_wording.h"

#include "protocol/kv9240b/measurement.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/modbus/reply_check.h"

#include <QCoreApplication>
#include <QStringList>

namespace kv {

namespace {

QString hexByte(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString settingName(int index)
{
    switch (index) {
    case 0:
        return QCoreApplication::translate("kv::Traffic", "温度校准");
    case 1:
        return QCoreApplication::translate("kv::Traffic", "湿度校准");
    case 2:
        return QCoreApplication::translate("kv::Traffic", "波特率");
    default:
        return QCoreApplication::translate("kv::Traffic", "寄存器 0x%1")
            .arg(0x0A00 + 2 * index, 4, 16, QLatin1Char('0'));
    }
}

// The value of a setting as the window shows it: offsets in hundredths, signed.
QString settingValue(int index, std::uint16_t raw)
{
    if (index == 0 || index == 1)
        return hundredthsText(rowValue(TemperatureOffsetRow, raw), QStringLiteral("."));
    return QString::number(raw);
}

QString measurementMeaning(const Measurement& values)
{
    QStringList parts;
    if (values.temperature)
        parts << QStringLiteral("%1 °C").arg(hundredthsText(*values.temperature, QStringLiteral(".")));
    if (values.humidity)
        parts << QStringLiteral("%1 %RH").arg(hundredthsText(*values.humidity, QStringLiteral(".")));
    if (values.temperatureOffset || values.humidityOffset) {
        const auto offset = [](const std::optional<int>& value) {
            return value ? hundredthsText(*value, QStringLiteral(".")) : QStringLiteral("–");
        };
        parts << QCoreApplication::translate("kv::Traffic", "校准 %1 / %2")
                     .arg(offset(values.temperatureOffset), offset(values.humidityOffset));
    }
    if (values.baudRate)
        parts << QCoreApplication::translate("kv::Traffic", "%1 波特").arg(*values.baudRate);
    return parts.join(QCoreApplication::translate("kv::Traffic", "，"));
}

QString answerMeaning(const TrafficFrame& frame)
{
    const auto request = asSpan(frame.request);
    const auto reply = asSpan(frame.bytes);
    const std::uint8_t function = request.size() > 1 ? request[1] : 0;
    if (function == 3 || function == 4) {
        const int start = request[2] << 8 | request[3];
        const bool addressRead = request[0] == AnyStation && start == 0 && request[5] == 1 && request[4] == 0;
        if (addressRead)
            return QCoreApplication::translate("kv::Traffic", "站号 %1").arg(reply[0]);
        // Register r holds the quantity of row r: name them by what they are.
        const Measurement values = measurementFromRegisters(reply[0], start, replyRegisters(reply));
        const QString words = measurementMeaning(values);
        return words.isEmpty() ? QCoreApplication::translate("kv::Traffic", "从站 %1 的 %2 个寄存器")
                                     .arg(reply[0])
                                     .arg(replyRegisters(reply).size())
                               : words;
    }
    if (function == 6 && request[2] == 0x0A && request[3] % 2 == 0 && request[3] <= 0x0A) {
        const int index = request[3] / 2;
        return QCoreApplication::translate("kv::Traffic", "站号 %1 确认：%2 %3")
            .arg(reply[0])
            .arg(settingName(index), settingValue(index, static_cast<std::uint16_t>(reply[4] << 8 | reply[5])));
    }
    if (function == 6 && request[2] == 0x0B)
        return QCoreApplication::translate("kv::Traffic", "站号 %1 确认地址改为 %2").arg(reply[0]).arg(reply[5]);
    return QCoreApplication::translate("kv::Traffic", "从站 %1 应答").arg(reply[0]);
}

QString mismatchMeaning(const TrafficFrame& frame)
{
    const auto request = asSpan(frame.request);
    const auto reply = asSpan(frame.bytes);
    switch (frame.check.mismatch) {
    case Mismatch::Station:
        return QCoreApplication::translate("kv::Traffic", "来自从站 %1，请求的是从站 %2").arg(reply[0]).arg(request[0]);
    case Mismatch::Function:
        return QCoreApplication::translate("kv::Traffic", "功能码 %1，请求的是 %2")
            .arg(hexByte(reply[1] & 0x7F), hexByte(request[1]));
    case Mismatch::Transaction:
    case Mismatch::Shape:
    case Mismatch::None:
        break;
    }
    return QCoreApplication::translate("kv::Traffic", "长度或内容与请求不符：%1 字节，应为 %2 字节")
        .arg(frame.bytes.size())
        .arg(expectedReplyLength(request));
}

} // namespace

QString directionText(Direction direction)
{
    return direction == Direction::Sent ? QCoreApplication::translate("kv::Traffic", "发送")
                                        : QCoreApplication::translate("kv::Traffic", "接收");
}

QString verdictText(const TrafficFrame& frame)
{
    switch (frame.verdict) {
    case FrameVerdict::Request:
        return {};
    case FrameVerdict::Ok:
        return QCoreApplication::translate("kv::Traffic", "正常");
    case FrameVerdict::BadCrc:
        return QCoreApplication::translate("kv::Traffic", "CRC 错误");
    case FrameVerdict::Exception:
        return QCoreApplication::translate("kv::Traffic", "异常 %1 %2")
            .arg(hexByte(frame.check.exceptionCode), exceptionName(frame.check.exceptionCode))
            .trimmed();
    case FrameVerdict::Partial:
        return QCoreApplication::translate("kv::Traffic", "不完整（%1/%2 字节）")
            .arg(frame.bytes.size())
            .arg(frame.check.expected);
    case FrameVerdict::Unexpected:
        return QCoreApplication::translate("kv::Traffic", "不符");
    case FrameVerdict::Late:
        return QCoreApplication::translate("kv::Traffic", "迟到");
    case FrameVerdict::NoReply:
        return QCoreApplication::translate("kv::Traffic", "无应答");
    case FrameVerdict::Unsolicited:
        return QCoreApplication::translate("kv::Traffic", "未请求");
    case FrameVerdict::PortLost:
        return QCoreApplication::translate("kv::Traffic", "端口丢失");
    }
    return {};
}

QString requestMeaning(std::span<const std::uint8_t> request)
{
    if (request.size() < 6)
        return QCoreApplication::translate("kv::Traffic", "%1 字节").arg(request.size());
    const std::uint8_t station = request[0];
    const std::uint8_t function = request[1];
    const int address = request[2] << 8 | request[3];
    const std::uint16_t value = static_cast<std::uint16_t>(request[4] << 8 | request[5]);
    if (function == 3 && station == AnyStation && address == 0 && value == 1)
        return QCoreApplication::translate("kv::Traffic", "通过站号 250 读设备地址");
    if (function == 3 || function == 4)
        return QCoreApplication::translate("kv::Traffic", "从站 %1 读 %2 个寄存器，起始地址 %3")
            .arg(station)
            .arg(value)
            .arg(address);
    if (function == 6 && (address & 0xFF00) == 0x0A00 && address % 2 == 0 && address <= 0x0A0A) {
        const int index = (address - 0x0A00) / 2;
        return QCoreApplication::translate("kv::Traffic", "通过站号 %1 写%2 %3")
            .arg(station)
            .arg(settingName(index), settingValue(index, value));
    }
    if (function == 6 && address == 0x0B00)
        return QCoreApplication::translate("kv::Traffic", "将从站 %1 的地址改为 %2").arg(station).arg(value);
    if (function == 6)
        return QCoreApplication::translate("kv::Traffic", "向从站 %1 的寄存器 %2 写入 %3")
            .arg(station)
            .arg(address)
            .arg(value);
    return QCoreApplication::translate("kv::Traffic", "从站 %1 功能码 %2").arg(station).arg(hexByte(function));
}

QString meaningText(const TrafficFrame& frame)
{
    switch (frame.verdict) {
    case FrameVerdict::Request:
        return requestMeaning(asSpan(frame.bytes));
    case FrameVerdict::Ok:
        return answerMeaning(frame);
    case FrameVerdict::Exception:
        return QCoreApplication::translate("kv::Traffic", "异常 %1：%2")
            .arg(hexByte(frame.check.exceptionCode), exceptionName(frame.check.exceptionCode));
    case FrameVerdict::BadCrc:
        return QCoreApplication::translate("kv::Traffic", "校验不符，内容不可信");
    case FrameVerdict::Partial:
        return QCoreApplication::translate("kv::Traffic", "收到 %1 字节，应为 %2 字节")
            .arg(frame.bytes.size())
            .arg(frame.check.expected);
    case FrameVerdict::Unexpected:
        return mismatchMeaning(frame);
    case FrameVerdict::Late:
        return QCoreApplication::translate("kv::Traffic", "第 %1 帧请求的应答，在下一请求发出后才到达")
            .arg(frame.requestNumber);
    case FrameVerdict::NoReply:
        return frame.beforeNextRequest
            ? QCoreApplication::translate("kv::Traffic", "下一请求前无应答，等待 %1 ms").arg(frame.waited / 1'000'000)
            : QCoreApplication::translate("kv::Traffic", "%1 ms 内无应答").arg(frame.waited / 1'000'000);
    case FrameVerdict::Unsolicited:
        return QCoreApplication::translate("kv::Traffic", "没有请求时收到的数据");
    case FrameVerdict::PortLost:
        return frame.network ? QCoreApplication::translate("kv::Traffic", "网络连接已断开")
                             : QCoreApplication::translate("kv::Traffic", "串口设备已断开");
    }
    return {};
}

} // namespace kv

#pragma once

#include "session/traffic_frame.h"

#include <QString>

#include <cstdint>
#include <span>

namespace kv {

// The words of the traffic log, in the window's language (translated through
// Qt's translation system): what a frame is and what it means.

QString directionText(Direction direction);

// "正常", "CRC 错误", "异常 02 非法数据地址", "不完整（7/15 字节）", "不符", "迟到", "无应答", "未请求", "端口丢失".
QString verdictText(const TrafficFrame& frame);

// The request or the answer in words: "从站 1 读 5 个寄存器，起始地址 0",
// "25.00 °C，60.00 %RH，校准 0.00 / 0.00，9600 波特", "站号 7", "异常 02：非法数据地址",
// "下一请求前无应答，等待 50 ms".
QString meaningText(const TrafficFrame& frame);

QString requestMeaning(std::span<const std::uint8_t> request);

} // namespace kv

#pragma once

#include "session/traffic_frame.h"

#include <QString>
#include <QStringList>

namespace kv {

// The columns of the traffic log, in the order the window shows them and a
// saved log lists them.
enum class LogColumn : int { Time, Delta, Direction, Length, Hex, Verdict, Meaning };
inline constexpr int LogColumnCount = 7;

// One frame's field as text: the time of day with milliseconds, the gap to
// the previous row in milliseconds (one decimal; empty for the very first
// row), the direction, the length, the bytes in hex, the verdict (empty for a
// request) and the meaning.
QString columnText(const TrafficFrame& frame, LogColumn column);

// All seven fields, in column order.
QStringList frameFields(const TrafficFrame& frame);

// The same gap with three decimals, for a saved log that a program reads on.
QString preciseDeltaText(const TrafficFrame& frame);

} // namespace kv

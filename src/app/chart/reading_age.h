#pragma once

#include <QString>

#include <chrono>

namespace kv {

// How long ago the last sound reading came, as the window shows it:
// "4.2 秒", "12 分 5 秒", "3 小时 2 分".
QString readingAgeText(qint64 ageMs);

// Whether a reading of that age is old: three polling periods have passed
// without a new one. Without a period (zero) nothing is old.
bool isReadingOld(qint64 ageMs, std::chrono::milliseconds period);

} // namespace kv

#pragma once

#include <QString>
#include <QStringView>

#include <chrono>

namespace kv::sim {

// One line of the simulator's log: "12345.678901 TX 01 03 02 09 C4 B8 9E".
// The time is CLOCK_MONOTONIC (what steady_clock reads on Linux) in seconds
// with microseconds, so it lines up with other programs' monotonic stamps.
QString logLine(std::chrono::steady_clock::time_point at, QStringView tag, QStringView text);

} // namespace kv::sim

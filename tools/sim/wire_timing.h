#pragma once

#include <chrono>

namespace kv::sim {

// The rates the sensor can be set to.
bool isSupportedBaudRate(int baudRate);

// One character on the line at 8N1: start bit, eight data bits, stop bit.
std::chrono::nanoseconds characterTime(int baudRate);

// The silence that ends a frame: 3.5 character times, but never less than
// 1.75 ms, the fixed value the protocol uses above 19200 baud.
std::chrono::nanoseconds silentInterval(int baudRate);

} // namespace kv::sim

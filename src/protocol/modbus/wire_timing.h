#pragma once

#include <chrono>
#include <cstdint>

namespace kv {

// One character on the line at 8N1: start bit, eight data bits, stop bit.
std::chrono::nanoseconds characterTime(int baudRate);

// The silence that ends a frame: 3.5 character times, but never less than
// 1.75 ms, the fixed value the protocol uses above 19200 baud.
std::chrono::nanoseconds silentInterval(int baudRate);

// How long a frame of this many bytes takes on the line.
std::chrono::nanoseconds frameTime(int bytes, int baudRate);

// Whether bytes whose last one arrived at `lastByteAtNs` can be the answer to a
// request handed over at `requestAtNs` (both on one clock, in ns): their first
// byte came their own time on the wire before the last, and an answer cannot
// begin before its request was sent. What began earlier answers an older request.
bool beganAfter(std::int64_t requestAtNs, std::int64_t lastByteAtNs, int bytes, int baudRate);

// A whole exchange on the line: the request, the silence that ends it (or the
// sensor's turnaround, whichever is longer), and the reply.
std::chrono::nanoseconds exchangeTime(
    int requestBytes, int replyBytes, int baudRate, std::chrono::nanoseconds turnaround);

} // namespace kv

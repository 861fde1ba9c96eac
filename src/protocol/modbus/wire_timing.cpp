#include "protocol/modbus/wire_timing.h"

#include <algorithm>

namespace kv {

std::chrono::nanoseconds characterTime(int baudRate)
{
    constexpr long long BitsPerCharacter = 10;
    return std::chrono::nanoseconds(BitsPerCharacter * 1'000'000'000LL / std::max(baudRate, 1));
}

std::chrono::nanoseconds silentInterval(int baudRate)
{
    if (baudRate > 19200)
        return std::chrono::microseconds(1750);
    return characterTime(baudRate) * 7 / 2;
}

std::chrono::nanoseconds frameTime(int bytes, int baudRate)
{
    return characterTime(baudRate) * bytes;
}

bool beganAfter(std::int64_t requestAtNs, std::int64_t lastByteAtNs, int bytes, int baudRate)
{
    return lastByteAtNs - frameTime(bytes, baudRate).count() >= requestAtNs;
}

std::chrono::nanoseconds exchangeTime(
    int requestBytes, int replyBytes, int baudRate, std::chrono::nanoseconds turnaround)
{
    return frameTime(requestBytes, baudRate) + std::max(silentInterval(baudRate), turnaround)
        + frameTime(replyBytes, baudRate);
}

} // namespace kv

#include "wire_timing.h"

namespace kv::sim {

bool isSupportedBaudRate(int baudRate)
{
    return baudRate == 2400 || baudRate == 4800 || baudRate == 9600 || baudRate == 19200;
}

std::chrono::nanoseconds characterTime(int baudRate)
{
    constexpr long long BitsPerCharacter = 10;
    return std::chrono::nanoseconds(BitsPerCharacter * 1'000'000'000LL / baudRate);
}

std::chrono::nanoseconds silentInterval(int baudRate)
{
    if (baudRate > 19200)
        return std::chrono::microseconds(1750);
    return characterTime(baudRate) * 7 / 2;
}

} // namespace kv::sim

#include "termios_speed.h"

#include <array>
#include <utility>

namespace kv::sim {

namespace {

// Every rate termios names on Linux, so that whatever a program chose can be
// reported as a number.
constexpr std::array<std::pair<speed_t, int>, 30> Speeds{{
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
}};

} // namespace

speed_t speedCode(int baudRate)
{
    for (const auto& [code, rate] : Speeds) {
        if (rate == baudRate)
            return code;
    }
    return B9600;
}

int baudRateOf(speed_t code)
{
    for (const auto& [known, rate] : Speeds) {
        if (known == code)
            return rate;
    }
    return 0;
}

} // namespace kv::sim

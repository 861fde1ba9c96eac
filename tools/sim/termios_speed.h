#pragma once

#include <termios.h>

namespace kv::sim {

// The termios code for one of the sensor's rates (2400, 4800, 9600, 19200).
speed_t speedCode(int baudRate);

// The rate in bits per second a termios code stands for; 0 for a code that
// names no rate (a hang-up, or a custom rate set through other means).
int baudRateOf(speed_t code);

} // namespace kv::sim

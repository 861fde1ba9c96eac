#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kv {

// The register value that setting `index` (0 to 5) gets from the text in its
// box, or the message that refuses the text. The number is read straight
// into single precision and kept there: calibrations (0, 1) are -10 to 10 and
// sent in hundredths, the baud rate (2) is one of 2400, 4800, 9600, 19200,
// and the other settings are sent as they are. A negative value goes out as
// its 16-bit two's complement; halves go to the even neighbour. A number
// beyond single precision gets the row's range message.
struct SettingValue {
    std::optional<std::uint16_t> registerValue;
    QString problem;
};

SettingValue settingValue(int index, const QString& text);

// The text read as a single-precision number, the way strtof reads it, with
// the user's decimal mark; nothing when it is not a number.
std::optional<float> readSingle(const QString& text);

// The rates the sensor can be set to: 2400, 4800, 9600 and 19200.
bool isSupportedBaudRate(int baudRate);

} // namespace kv

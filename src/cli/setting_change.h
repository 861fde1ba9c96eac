#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kv::cli {

// A setting the command line writes: which one, the register value that goes
// out (scaled and encoded as the window's parameter writes do), and the value
// the read-back must show (hundredths for the offsets, the rate for baud).
struct SettingChange {
    QString name;  // "temperature-offset", "humidity-offset", "baud"
    int index = 0; // 0, 1, 2: the setting's place among the parameter registers
    int row = 0;   // where the read-back of registers 0 to 4 shows it
    std::uint16_t registerValue = 0;
    int expected = 0;
};

// The change `set NAME VALUE` asks for, or nothing with the reason in
// `problem`: an unknown name, a value that is not a number, or one out of
// range (offsets -10.00 to 10.00; baud 2400, 4800, 9600 or 19200).
std::optional<SettingChange> readSettingChange(const QString& name, const QString& value, QString& problem);

// "1.50" for the offsets, "19200" for baud: the value as the records show it.
QString settingValueText(const SettingChange& change, int value);

} // namespace kv::cli

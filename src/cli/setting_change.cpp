#include "cli/setting_change.h"

#include "protocol/kv9240b/measurement.h"
#include "protocol/kv9240b/setting_value.h"

namespace kv::cli {

namespace {

struct SettingName {
    const char* name;
    int index;
    int row;
};

constexpr SettingName Settings[] = {
    {"temperature-offset", 0, TemperatureOffsetRow},
    {"humidity-offset", 1, HumidityOffsetRow},
    {"baud", 2, BaudRateRow},
};

bool isSupportedRate(float value)
{
    return value == 2400.0f || value == 4800.0f || value == 9600.0f || value == 19200.0f;
}

} // namespace

std::optional<SettingChange> readSettingChange(const QString& name, const QString& value, QString& problem)
{
    const SettingName* setting = nullptr;
    for (const SettingName& known : Settings) {
        if (name == QLatin1String(known.name))
            setting = &known;
    }
    if (!setting) {
        problem = QStringLiteral("unknown setting '%1': temperature-offset, humidity-offset or baud").arg(name);
        return std::nullopt;
    }

    // Read as the window reads its boxes (single precision, the default
    // number format, which the command line keeps at C), range-checked in
    // our own words; the window's encoding does the rest.
    const std::optional<float> number = readSingle(value);
    if (!number) {
        problem = QStringLiteral("%1 needs a number, not '%2'").arg(name, value);
        return std::nullopt;
    }
    if (setting->index == 2) {
        if (!isSupportedRate(*number)) {
            problem = QStringLiteral("baud must be 2400, 4800, 9600 or 19200");
            return std::nullopt;
        }
    } else if (*number < -10.0f || *number > 10.0f) {
        problem = QStringLiteral("%1 must lie between -10.00 and 10.00").arg(name);
        return std::nullopt;
    }
    const SettingValue encoded = settingValue(setting->index, value);
    if (!encoded.registerValue) { // the checks above let nothing through that the window refuses
        problem = QStringLiteral("%1 cannot be written as '%2'").arg(name, value);
        return std::nullopt;
    }

    SettingChange change;
    change.name = QString::fromLatin1(setting->name);
    change.index = setting->index;
    change.row = setting->row;
    change.registerValue = *encoded.registerValue;
    change.expected = rowValue(setting->row, change.registerValue);
    return change;
}

QString settingValueText(const SettingChange& change, int value)
{
    return change.row == BaudRateRow ? QString::number(value) : hundredthsText(value, QStringLiteral("."));
}

} // namespace kv::cli

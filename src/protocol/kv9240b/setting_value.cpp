#include "protocol/kv9240b/setting_value.h"

#include "protocol/kv9240b/number_text.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace kv {

namespace {

// Worded when asked for, in the window's language at that moment.
QString notANumber()
{
    return QCoreApplication::translate("kv::Settings", "你输入的值有误，请输入0-9的数据，不能含字母！");
}

QString calibrationRange()
{
    return QCoreApplication::translate("kv::Settings", "你输入的值有误，正确的值范围为-10到10!");
}

QString baudRates()
{
    return QCoreApplication::translate("kv::Settings", "你输入的值有误，正确的值范围为2400,4800,9600或19200!");
}

QString registerRange()
{
    return QCoreApplication::translate("kv::Settings", "你输入的值有误，正确的值范围为-32768到65535!");
}

constexpr std::array<float, 4> AcceptedBaudRates = {2400.0f, 4800.0f, 9600.0f, 19200.0f};

bool isCalibration(int index)
{
    return index == 0 || index == 1;
}

float nearestEven(float value)
{
    return static_cast<float>(roundHalfEven(static_cast<double>(value)));
}

// The message for a number the setting cannot take.
QString rangeProblem(int index)
{
    if (isCalibration(index))
        return calibrationRange();
    return index == 2 ? baudRates() : registerRange();
}

} // namespace

std::optional<float> readSingle(const QString& text)
{
    if (!isNumber(text))
        return std::nullopt;
    const QLocale locale;
    QString plain = text.trimmed();
    plain.replace(locale.decimalPoint(), QStringLiteral("."));
    plain.replace(locale.negativeSign(), QStringLiteral("-"));
    plain.replace(locale.positiveSign(), QString());
    plain.replace(QLatin1Char('+'), QString());
    // The exponent's own sign was dropped with the plus signs: "1e+3" reads as "1e3".
    const QByteArray latin = plain.toLatin1();
    float value = 0;
    const auto [end, error] = std::from_chars(latin.constData(), latin.constData() + latin.size(), value);
    if (error != std::errc() || end != latin.constData() + latin.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

SettingValue settingValue(int index, const QString& text)
{
    const std::optional<float> read = readSingle(text);
    // A number too large or too small for single precision ("1e39",
    // "1e-50") is still a number: it is refused by the row's range.
    if (!read)
        return {{}, isNumber(text) ? rangeProblem(index) : notANumber()};
    float v = *read;

    if (isCalibration(index) && (v < -10.0f || v > 10.0f))
        return {{}, calibrationRange()};
    if (index == 2 && std::find(AcceptedBaudRates.begin(), AcceptedBaudRates.end(), v) == AcceptedBaudRates.end())
        return {{}, baudRates()};
    // Beyond these bounds the two bytes would carry another number.
    if (index >= 3 && (nearestEven(v) < -32768.0f || nearestEven(v) > 65535.0f))
        return {{}, registerRange()};

    if (isCalibration(index))
        v = v * 100.0f;
    if (v < 0)
        v = v + 65536.0f;
    float n = nearestEven(v);
    // A setting just below zero rounds up to 65536 after the complement: it is zero.
    if (n == 65536.0f)
        n = 0;
    return {static_cast<std::uint16_t>(n), {}};
}

bool isSupportedBaudRate(int baudRate)
{
    return baudRate == 2400 || baudRate == 4800 || baudRate == 9600 || baudRate == 19200;
}

} // namespace kv

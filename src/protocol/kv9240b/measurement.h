#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kv {

// The rows of the window's value column, which is also the order of the
// sensor's holding registers 0 to 4.
enum MeasurementRow : int {
    TemperatureRow = 0,
    HumidityRow = 1,
    TemperatureOffsetRow = 2,
    HumidityOffsetRow = 3,
    BaudRateRow = 4,
    MeasurementRows = 5,
};

// What a measurement reply says, in plain values. Temperatures and humidities
// are in hundredths (2534 is 25.34 °C); a quantity the reply did not cover is empty.
struct Measurement {
    std::uint8_t station = 0;
    std::optional<int> temperature;       // hundredths of a degree Celsius
    std::optional<int> humidity;          // hundredths of a percent relative humidity
    std::optional<int> temperatureOffset; // hundredths of a degree Celsius
    std::optional<int> humidityOffset;    // hundredths of a percent relative humidity
    std::optional<int> baudRate;

    std::optional<int>& operator[](int row);
    const std::optional<int>& operator[](int row) const;
};

// The row the first register of a reply lands in, from the start register the
// request named: start 0 and start 1 both begin at row 0, each further start
// register moves two rows down (start 2 -> row 2, start 3 -> row 4).
int firstRowForStart(int startRegister);

// A register value as the row shows it: 0xFFFF (the sensor's "no value") is 0;
// above 20000 a temperature is negative, above 32768 the humidity and the
// offsets are; the baud rate is never negative.
int rowValue(int row, std::uint16_t raw);

// The register values a read reply carries (its byte count / 2 values, high byte
// first); only those wholly present.
std::vector<std::uint16_t> replyRegisters(std::span<const std::uint8_t> reply);

// The reply's registers put into rows from `firstRow` on; rows past the baud
// rate are not quantities of the sensor and are left out.
Measurement measurementFromRegisters(std::uint8_t station, int firstRow, std::span<const std::uint16_t> registers);

// A value in hundredths as "#0.00" shows it: 2534 -> "25.34", 5 -> "0.05",
// -150 -> "-1.50", with the given decimal mark (the user's by default).
QString hundredthsText(int hundredths);
QString hundredthsText(int hundredths, const QString& decimalPoint);

} // namespace kv

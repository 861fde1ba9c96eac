#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace kv::cli {

// The stations a Modbus master may address one by one.
inline constexpr int FirstStation = 1;
inline constexpr int LastStation = 247;

// A list of stations such as "1,3,5-9": numbers and ascending ranges from 1
// to 247, separated by commas. Each station once, in the order first named.
// Nothing, with the reason in `problem`, for anything else.
std::optional<QList<std::uint8_t>> readStationList(const QString& text, QString& problem);

// A whole number of plain decimal digits (no sign, no blanks) from `low` to `high`.
std::optional<qint64> readWholeNumber(const QString& text, qint64 low, qint64 high);

} // namespace kv::cli

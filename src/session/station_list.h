#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace kv {

// The stations a Modbus master may address one by one.
inline constexpr int FirstAddressableStation = 1;
inline constexpr int LastAddressableStation = 247;

// Why a station list was refused, for the front end to word: the item (as
// written between commas) that is no station, or no ascending range.
struct StationListProblem {
    enum class Kind { NotAStation, NotARange };
    Kind kind = Kind::NotAStation;
    QString item;
};

// A list of stations such as "1,3,5-9": numbers and ascending ranges from 1
// to 247, separated by commas. Each station once, in the order first named.
// Nothing, with the reason in `problem`, for anything else.
std::optional<QList<std::uint8_t>> parseStationList(const QString& text, StationListProblem& problem);

// A whole number of plain decimal digits (no sign, no blanks) from `low` to `high`.
std::optional<qint64> parseWholeNumber(const QString& text, qint64 low, qint64 high);

} // namespace kv

#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kv::sim {

// Reads "1,2,7": the stations of the sensors on the line, in order, each 1 to
// 250 and none twice. On failure returns nothing and says why in error.
std::optional<std::vector<std::uint8_t>> parseStationList(const QString& text, QString& error);

} // namespace kv::sim

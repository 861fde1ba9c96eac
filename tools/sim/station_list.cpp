#include "station_list.h"

#include <QStringList>

#include <algorithm>

namespace kv::sim {

namespace {

constexpr int HighestStation = 250;

} // namespace

std::optional<std::vector<std::uint8_t>> parseStationList(const QString& text, QString& error)
{
    std::vector<std::uint8_t> stations;
    for (const QString& item : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int station = item.trimmed().toInt(&ok);
        if (!ok || station < 1 || station > HighestStation) {
            error = QStringLiteral("station \"%1\" should be a number from 1 to 250").arg(item);
            return std::nullopt;
        }
        if (std::ranges::find(stations, station) != stations.end()) {
            error = QStringLiteral("station %1 is listed twice").arg(station);
            return std::nullopt;
        }
        stations.push_back(static_cast<std::uint8_t>(station));
    }
    return stations;
}

} // namespace kv::sim

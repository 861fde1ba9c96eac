#include "cli/station_list.h"

#include "session/station_list.h"

namespace kv::cli {

std::optional<qint64> readWholeNumber(const QString& text, qint64 low, qint64 high)
{
    return parseWholeNumber(text, low, high);
}

std::optional<QList<std::uint8_t>> readStationList(const QString& text, QString& problem)
{
    StationListProblem why;
    std::optional<QList<std::uint8_t>> stations = parseStationList(text, why);
    if (!stations) {
        problem = why.kind == StationListProblem::Kind::NotAStation
            ? QStringLiteral("'%1' is no station: stations run from 1 to 247").arg(why.item)
            : QStringLiteral("'%1' is no range of stations: write FIRST-LAST, from 1 to 247").arg(why.item);
    }
    return stations;
}

} // namespace kv::cli

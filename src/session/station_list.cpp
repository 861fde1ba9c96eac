#include "session/station_list.h"

#include <QStringList>

namespace kv {

std::optional<qint64> parseWholeNumber(const QString& text, qint64 low, qint64 high)
{
    // Eighteen digits still fit; more only ever come from a typo or a fuzzer.
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<QList<std::uint8_t>> parseStationList(const QString& text, StationListProblem& problem)
{
    const auto station
        = [](const QString& part) { return parseWholeNumber(part, FirstAddressableStation, LastAddressableStation); };
    QList<std::uint8_t> stations;
    bool named[LastAddressableStation + 1] = {};
    const auto add = [&](qint64 number) {
        if (!named[number])
            stations << static_cast<std::uint8_t>(number);
        named[number] = true;
    };
    for (const QString& item : text.split(QLatin1Char(','))) {
        const qsizetype dash = item.indexOf(QLatin1Char('-'));
        if (dash < 0) {
            const std::optional<qint64> single = station(item);
            if (!single) {
                problem = {StationListProblem::Kind::NotAStation, item};
                return std::nullopt;
            }
            add(*single);
            continue;
        }
        const std::optional<qint64> from = station(item.left(dash));
        const std::optional<qint64> to = station(item.mid(dash + 1));
        if (!from || !to || *from > *to) {
            problem = {StationListProblem::Kind::NotARange, item};
            return std::nullopt;
        }
        for (qint64 number = *from; number <= *to; ++number)
            add(number);
    }
    return stations;
}

} // namespace kv

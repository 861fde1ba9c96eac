#include "bus_notes.h"

#include <QStringList>

#include <algorithm>

namespace kv::sim {

namespace {

QString rateText(int baudRate)
{
    return baudRate > 0 ? QStringLiteral("%1 baud").arg(baudRate) : QStringLiteral("a rate without a number");
}

} // namespace

QString stationsText(std::span<const std::uint8_t> stations)
{
    QStringList numbers;
    for (const std::uint8_t station : stations)
        numbers << QString::number(station);
    return (stations.size() == 1 ? QStringLiteral("station ") : QStringLiteral("stations "))
        + numbers.join(QStringLiteral(", "));
}

QString rateMismatch(const SensorBus& bus, const SensorBus::Audience& audience, int sentAtBaudRate)
{
    std::vector<int> rates;
    for (const std::size_t index : audience.deaf) {
        if (std::ranges::find(rates, bus.device(index).baudRate()) == rates.end())
            rates.push_back(bus.device(index).baudRate());
    }
    const QString outcome = audience.hearing.empty() ? QStringLiteral("ignored") : QStringLiteral("not heard by all");
    QStringList parts{QStringLiteral("%1: sent at %2").arg(outcome, rateText(sentAtBaudRate))};
    for (const int rate : rates) {
        std::vector<std::uint8_t> stations;
        for (const std::size_t index : audience.deaf) {
            if (bus.device(index).baudRate() == rate)
                stations.push_back(bus.device(index).station());
        }
        const QString verb = stations.size() == 1 ? QStringLiteral("listens") : QStringLiteral("listen");
        parts << QStringLiteral("%1 %2 at %3").arg(stationsText(stations), verb, rateText(rate));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace kv::sim

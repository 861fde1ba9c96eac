// Whatever is typed after the simulator's --station and --fault: the station
// list and the fault rule either refuse the text with a reason or give values
// the simulator can use as they are.
#include "fault_rules.h"
#include "fuzz_check.h"
#include "station_list.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    QString error;
    if (const auto stations = kv::sim::parseStationList(text, error)) {
        require(error.isEmpty() && !stations->empty());
        for (auto it = stations->begin(); it != stations->end(); ++it) {
            require(*it >= 1 && *it <= 250);
            require(std::find(it + 1, stations->end(), *it) == stations->end());
        }
    } else {
        require(!error.isEmpty());
    }

    error.clear();
    if (const std::optional<kv::sim::FaultRule> rule = kv::sim::parseFaultRule(text, error)) {
        require(error.isEmpty());
        require(rule->probability >= 0 && rule->probability <= 1);
        require(rule->delay.count() >= 0);
    } else {
        require(!error.isEmpty());
    }
    return 0;
}

// Whatever a script or a person types after kv9240b: the command line is
// either refused with one line saying why, or read into options that are all
// within their ranges. Arguments are separated by NUL bytes in the input.
#include "cli/command_line.h"
#include "cli/station_list.h"
#include "fuzz_check.h"
#include "protocol/kv9240b/setting_value.h"

#include <QLocale>
#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLocale::setDefault(QLocale::c()); // as the program runs
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kv::cli;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList arguments = size == 0 ? QStringList{} : text.split(QChar(0));
    const ParsedCommandLine parsed = parseCommandLine(arguments);

    if (parsed.action == ParsedCommandLine::Action::UsageError) {
        require(!parsed.problem.isEmpty());
        return 0;
    }
    if (parsed.action != ParsedCommandLine::Action::Run)
        return 0;

    const Options& o = parsed.options;
    require(!o.port.isEmpty());
    require(kv::isSupportedBaudRate(o.baudRate));
    require(!o.stations.isEmpty() && o.stations.size() <= LastStation);
    for (qsizetype i = 0; i < o.stations.size(); ++i) {
        require(o.stations[i] >= FirstStation && o.stations[i] <= LastStation);
        require(o.stations.indexOf(o.stations[i]) == i); // each once
    }
    if (o.timeout)
        require(o.timeout->count() >= 1 && o.timeout->count() <= 60'000);
    require(o.interval.count() >= 50 && o.interval.count() <= 60'000);
    require(o.count >= 0);
    if (o.command == Command::Watch)
        require(o.interval >= shortestPeriod(o.baudRate, static_cast<int>(o.stations.size())));
    require(o.setting.has_value() == (o.command == Command::Set));
    if (o.setting) {
        require(o.setting->index >= 0 && o.setting->index <= 2);
        if (o.setting->index == 2)
            require(kv::isSupportedBaudRate(o.setting->expected));
        else
            require(o.setting->expected >= -1000 && o.setting->expected <= 1000);
        require(o.stations.size() == 1);
    }
    require(!o.baudRates.isEmpty());
    for (int rate : o.baudRates)
        require(kv::isSupportedBaudRate(rate));
    for (const QString& port : o.ports)
        require(!port.isEmpty());
    return 0;
}

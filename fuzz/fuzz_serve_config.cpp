// Whatever a configuration file of kv9240b serve holds: it is read into a
// configuration whose values are all within their ranges, or refused with
// "FILE:LINE: reason"; never half read, never a crash.
#include "cli/serve/serve_config.h"
#include "fuzz_check.h"
#include "protocol/kv9240b/setting_value.h"

#include <QSet>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kv::cli;
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ServeConfigResult result = readServeConfig(text, QStringLiteral("f.toml"));
    if (!result.config) {
        require(result.problem.startsWith(QLatin1String("f.toml:")));
        return 0;
    }
    const ServeConfig& config = *result.config;
    require(config.interval.count() >= 100 && config.retries >= 0 && config.retries <= 5);
    require(config.staleness() >= config.interval);
    require(!config.lines.isEmpty());
    QSet<QString> ports;
    for (const ServedLineConfig& line : config.lines) {
        require(!line.name.isEmpty() && !line.port.isEmpty() && kv::isSupportedBaudRate(line.baudRate));
        require(!ports.contains(line.port));
        ports.insert(line.port);
        require(!line.sensors.isEmpty());
        QSet<int> stations;
        for (const ServedSensor& sensor : line.sensors) {
            require(sensor.station >= 1 && sensor.station <= 247 && !stations.contains(sensor.station));
            require(!sensor.name.isEmpty() && !sensor.name.contains(QLatin1Char('/')));
            stations.insert(sensor.station);
        }
    }
    return 0;
}

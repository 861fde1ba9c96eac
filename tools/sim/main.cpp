// kv9240b-sim: a simulated KV9240B sensor for trying the tool without hardware.

#include "device_line.h"
#include "network_line.h"
#include "pty_line.h"
#include "sensor_bus.h"
#include "shutdown_signals.h"
#include "sim_log.h"
#include "sim_options.h"
#include "sim_server.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace kv::sim;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv9240b-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV9240B_VERSION));

    QString error;
    const std::optional<SimOptions> options = readOptions(QCoreApplication::arguments(), error);
    if (!options) {
        std::fprintf(stderr, "kv9240b-sim: %s\n", qPrintable(error));
        return 2;
    }

    // Before anything can block, so no signal is lost.
    const sigset_t waitMask = takeOverShutdownSignals();

    const SimLog log(options->quiet);
    std::unique_ptr<SerialLine> line;
    if (options->gateway)
        line = openGatewayLine(
            options->listen, options->gatewayPort, *options->gateway,
            [&log](const QString& text) { log.note(SimServer::Clock::now(), text); }, error);
    else if (options->port.isEmpty())
        line = openPseudoTerminal(options->baudRate, error);
    else
        line = openDeviceLine(options->port, options->baudRate, error);
    if (!line) {
        std::fprintf(stderr, "kv9240b-sim: %s\n", qPrintable(error));
        return 1;
    }
    SimLog::devicePath(line->devicePath());

    // Without --seed a seed is still chosen and shown, so a run can be repeated.
    const quint32 seed = options->seed.value_or(QRandomGenerator::system()->generate());
    QRandomGenerator random(seed);
    SensorBus bus = layOutBus(
        options->stations, options->baudRate, options->temperature, options->humidity, options->drift, random);
    QStringList stations;
    for (const std::uint8_t station : options->stations)
        stations << QString::number(station);
    log.note(SimServer::Clock::now(),
        QStringLiteral("%1 %2, %3 baud, seed %4")
            .arg(stations.size() == 1 ? QStringLiteral("station") : QStringLiteral("stations"),
                stations.join(QLatin1Char(',')))
            .arg(options->baudRate)
            .arg(seed));
    SimServer server(*line, bus, random, log, {options->turnaround, options->faults});
    return server.run(waitMask);
}

// kv9240b-sim: a simulated KV9240B sensor for trying the tool without hardware.

#include "device_line.h"
#include "measurement_model.h"
#include "pty_line.h"
#include "sensor_device.h"
#include "shutdown_signals.h"
#include "sim_log.h"
#include "sim_options.h"
#include "sim_server.h"

#include <QCoreApplication>

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

    const std::unique_ptr<SerialLine> line = options->port.isEmpty() ? openPseudoTerminal(error) : openDeviceLine(options->port, options->baudRate, error);
    if (!line) {
        std::fprintf(stderr, "kv9240b-sim: %s\n", qPrintable(error));
        return 1;
    }
    SimLog::devicePath(line->devicePath());

    const SimLog log(options->quiet);
    // Without --seed a seed is still chosen and shown, so a run can be repeated.
    const quint32 seed = options->seed.value_or(QRandomGenerator::system()->generate());
    QRandomGenerator random(seed);
    log.note(SimServer::Clock::now(), QStringLiteral("station %1, %2 baud, seed %3").arg(options->station).arg(options->baudRate).arg(seed));

    SensorDevice device(options->station, options->baudRate);
    MeasurementModel measurement(options->temperature, options->humidity, options->drift, random);
    SimServer server(*line, device, measurement, random, log, {options->turnaround, options->faults});
    return server.run(waitMask);
}

// find: sensors on ports and rates, each written as it is found.
#include "cli/commands.h"
#include "cli/frame_log.h"
#include "cli/line.h"
#include "cli/port_problem.h"
#include "cli/sensor_records.h"
#include "cli/stop_signals.h"
#include "protocol/kv9240b/request_frames.h"
#include "serial/port_directory.h"
#include "session/sensor_sweep.h"

#include <QEventLoop>

#include <memory>

namespace kv::cli {

namespace {

// The devices the ports named stand for; those that stand for none are said
// and counted.
QStringList devicesOf(const QStringList& ports, int& unusable)
{
    QStringList devices;
    for (const QString& port : ports) {
        const std::optional<int> number = comPortNumber(port);
        const QString device = number ? portDevice(*number).path : port;
        if (device.isEmpty()) {
            complain(QStringLiteral("%1: no serial device stands behind this port number").arg(port));
            ++unusable;
        } else if (!devices.contains(device)) {
            devices << device;
        }
    }
    return devices;
}

} // namespace

int runFind(const Options& options)
{
    if (options.gateway)
        return runFindBehindGateway(options);
    RecordSink sink;
    if (!openSink(sink, options))
        return UsageError;
    int unusable = 0;
    const QStringList devices = options.ports.isEmpty() ? everyPortDevice() : devicesOf(options.ports, unusable);
    if (devices.isEmpty()) {
        if (options.ports.isEmpty())
            complain(QStringLiteral("no serial devices present; name the ports with --ports"));
        return options.ports.isEmpty() ? Failure : PortError;
    }
    StopSignals stops;
    SensorSweep sweep;
    qsizetype failedDevices = 0; // would not open
    qsizetype lostDevices = 0;   // failed while searched
    std::unique_ptr<FrameLog> log;
    if (options.verbose)
        log = std::make_unique<FrameLog>(sweep.port());

    Ended ended = Ended::No;
    const QString header = foundHeader(options.format);
    if (!header.isEmpty() && sink.startsEmpty() && !writeRecord(sink, header, ended))
        return ended == Ended::ReaderGone ? Success : Failure;

    QObject::connect(&sweep, &SensorSweep::found, [&](const FoundSensor& sensor) {
        if (!writeRecord(sink, foundLine(options.format, sensor), ended))
            sweep.stop();
    });
    QObject::connect(&sweep, &SensorSweep::portFailed, [&](const QString& device) {
        complain(openProblemText(sweep.port(), device));
        ++failedDevices;
    });
    QObject::connect(&sweep, &SensorSweep::portLost, [&](const QString& device) {
        complain(QStringLiteral("%1 was lost during the search: the device failed or went away (is the RS-485 "
                                "adapter still plugged in?); the search goes on without it")
                     .arg(device));
        ++lostDevices;
    });
    QObject::connect(&sweep, &SensorSweep::collision, [&](const QString& device, int baudRate, const Outcome& outcome) {
        complain(QStringLiteral("%1 at %2 baud: the answers to station 250 collide (%3): several sensors; "
                                "asking stations 1 to 247 one by one")
                     .arg(device)
                     .arg(baudRate)
                     .arg(statusCode(outcome)));
    });
    QObject::connect(&sweep, &SensorSweep::unreadable,
        [&](const QString& device, int baudRate, int station, const Outcome& outcome) {
            complain(QStringLiteral("%1 at %2 baud: station %3 answers %4: two sensors with one station "
                                    "number?")
                         .arg(device)
                         .arg(baudRate)
                         .arg(station)
                         .arg(statusCode(outcome)));
        });
    // Where the search was, for a stop to say.
    int tryingRate = 0;
    int tryingStation = 0;
    QObject::connect(&sweep, &SensorSweep::trying, [&](const QString& device, int baudRate, int station) {
        tryingRate = baudRate;
        tryingStation = station;
        if (options.verbose)
            writeToStandardError(
                QStringLiteral("trying %1 at %2 baud, station %3").arg(device).arg(baudRate).arg(station));
    });
    int found = 0;
    qint64 elapsedMs = 0;
    QEventLoop loop;
    QObject::connect(&sweep, &SensorSweep::finished, [&](int count, qint64 elapsed) {
        found = count;
        elapsedMs = elapsed;
        loop.quit();
    });
    QObject::connect(&stops, &StopSignals::stopRequested, &sweep, &SensorSweep::stop);

    sweep.start({devices, options.baudRates, options.scan, options.timeout});
    loop.exec();
    if (log)
        log->close();

    if (ended == Ended::ReaderGone)
        return Success;
    // Not one port would open: nothing was looked through, and that is the
    // port's fault, not the sensors'.
    if (failedDevices == devices.size())
        return PortError;
    QString tally = QStringLiteral("found %1 %2 in %3 s")
                        .arg(found)
                        .arg(found == 1 ? "sensor" : "sensors")
                        .arg(QString::number(static_cast<double>(elapsedMs) / 1000.0, 'f', 2));
    // A search stopped part way says where: what it found is not all there is.
    if (stops.requested()) {
        const QString where = tryingStation == AnyStation
            ? QStringLiteral("stopped asking station 250 at %1 baud").arg(tryingRate)
            : QStringLiteral("stopped at station %1 of %2 at %3 baud")
                  .arg(tryingStation)
                  .arg(SensorSweep::LastStation)
                  .arg(tryingRate);
        tally = where + QStringLiteral(": ") + tally;
    }
    // The machine formats keep to their records; the tally goes aside.
    if (options.format == RecordFormat::Text && ended == Ended::No)
        writeRecord(sink, tally, ended);
    else
        writeToStandardError(tally);
    if (ended != Ended::No)
        return ended == Ended::ReaderGone ? Success : Failure;
    if (stops.requested())
        return stops.exitStatus();
    // A port lost part way was not searched through.
    return found > 0 && lostDevices == 0 ? Success : Failure;
}

} // namespace kv::cli

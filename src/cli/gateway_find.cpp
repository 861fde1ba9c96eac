// find behind a gateway: the stations on the serial line behind it, at the one
// rate that line runs at (the gateway sets it, not the tool).
#include "cli/commands.h"
#include "cli/line.h"
#include "cli/sensor_records.h"
#include "cli/sole_sensor.h"
#include "cli/stop_signals.h"
#include "protocol/kv9240b/request_frames.h"
#include "session/sensor_sweep.h"

#include <QElapsedTimer>

namespace kv::cli {

namespace {

// The sensor at the station, found with its values if they came.
FoundSensor foundAt(Line& line, const Options& options, std::uint8_t station, const Outcome& values)
{
    FoundSensor sensor;
    sensor.device = line.description();
    sensor.baudRate = options.baudRate;
    sensor.station = station;
    sensor.valuesStatus = values.kind;
    if (values.ok())
        sensor.values = measurementFromRegisters(station, 0, replyRegisters(asSpan(values.frame())));
    return sensor;
}

Outcome readValues(Line& line, std::uint8_t station)
{
    line.waitForQuiet();
    return line.master.exchange(withCrc(readRegistersHead(station, 0, MeasurementRows)));
}

// Whether station 250's answer says that more than one sensor answered: a
// garbled frame, or through a Modbus TCP gateway, which drops a garbled
// frame, its exception 0B (the target did not answer intelligibly).
bool severalAnswered(const Outcome& answer)
{
    constexpr std::uint8_t TargetFailedToRespond = 0x0B;
    return isGarbled(answer)
        || (answer.kind == OutcomeKind::Exception && answer.check.exceptionCode == TargetFailedToRespond);
}

} // namespace

int runFindBehindGateway(const Options& options)
{
    RecordSink sink;
    if (!openSink(sink, options))
        return UsageError;
    Line line(options);
    if (!line.open())
        return PortError;
    StopSignals stops;
    QElapsedTimer clock;
    clock.start();
    Ended ended = Ended::No;
    const QString header = foundHeader(options.format);
    if (!header.isEmpty() && sink.startsEmpty() && !writeRecord(sink, header, ended))
        return ended == Ended::ReaderGone ? Success : Failure;

    int found = 0;
    const auto report = [&](const FoundSensor& sensor) {
        ++found;
        return writeRecord(sink, foundLine(options.format, sensor), ended);
    };
    const Outcome answer = askWhoAnswers(line, stops);
    bool lost = answer.kind == OutcomeKind::PortLost;
    // As on a serial port: the stations are asked one by one when several
    // answered 250, or, with --scan, when none did.
    const bool scan = severalAnswered(answer) || (options.scan && answer.kind == OutcomeKind::NoReply);
    if (answer.ok() && !stops.requestedNow()) {
        const auto station = static_cast<std::uint8_t>(answer.frame().at(0));
        report(foundAt(line, options, station, readValues(line, station)));
    } else if (severalAnswered(answer)) {
        complain(QStringLiteral("%1: the answers to station 250 collide (%2): several sensors; asking stations 1 to "
                                "247 one by one")
                     .arg(line.description(), statusCode(answer)));
    }
    if (scan && !lost) {
        line.master.setAllowance(SensorSweep::ScanAllowance);
        for (int station = SensorSweep::FirstStation; station <= SensorSweep::LastStation; ++station) {
            if (stops.requestedNow())
                break;
            if (options.verbose)
                writeToStandardError(QStringLiteral("trying %1, station %2").arg(line.description()).arg(station));
            const auto asked = static_cast<std::uint8_t>(station);
            const Outcome outcome = readValues(line, asked);
            if (outcome.kind == OutcomeKind::PortLost) {
                lost = true;
                break;
            }
            if (outcome.kind == OutcomeKind::NoReply || severalAnswered(outcome))
                continue;
            if (!report(foundAt(line, options, asked, outcome)))
                break;
        }
    }
    line.finishLog();
    if (ended != Ended::No)
        return ended == Ended::ReaderGone ? Success : Failure;
    if (lost) {
        complain(line.lostText());
        return PortError;
    }
    const QString tally = QStringLiteral("found %1 %2 in %3 s")
                              .arg(found)
                              .arg(found == 1 ? "sensor" : "sensors")
                              .arg(QString::number(static_cast<double>(clock.elapsed()) / 1000.0, 'f', 2));
    if (options.format == RecordFormat::Text)
        writeRecord(sink, tally, ended);
    else
        writeToStandardError(tally);
    if (stops.requested())
        return stops.exitStatus();
    return found > 0 ? Success : Failure;
}

} // namespace kv::cli

// set NAME VALUE: the window's parameter write through station 250, then the
// setting read back (at the new rate for baud). Station 250 reaches every
// sensor on the line, so unless --all says so, it is asked first who answers.
#include "cli/commands.h"
#include "cli/line.h"
#include "cli/sole_sensor.h"
#include "cli/stop_signals.h"
#include "line/serial_line.h"
#include "protocol/kv9240b/measurement.h"
#include "protocol/kv9240b/request_frames.h"
#include "session/reading.h"
#include "session/record_format.h"

#include <QDateTime>

namespace kv::cli {

int runSet(const Options& options)
{
    const SettingChange& change = *options.setting;
    RecordSink sink;
    if (!openSink(sink, options))
        return UsageError;
    Line line(options);
    if (!line.open())
        return PortError;
    // A signal lets the exchange on the line end: a write cut off unseen
    // would leave the user not knowing whether the sensor took it.
    StopSignals stops;
    const std::optional<std::uint8_t> meant
        = options.stationGiven ? std::optional(options.stations.first()) : std::nullopt;

    if (!options.all) {
        const Outcome answer = askWhoAnswers(line, stops);
        if (stops.requestedNow()) {
            complain(QStringLiteral("stopped before writing: nothing written"));
            return stops.exitStatus();
        }
        if (line.gatewayGone(answer))
            return PortError;
        const QString refusal = whyNotWrite(answer, meant, line.master.timeoutFor(withCrc(addressReadHead())));
        if (!refusal.isEmpty()) {
            complain(refusal);
            return Failure;
        }
    }

    const Frame write = withCrc(parameterWriteHead(change.index, change.registerValue));
    line.waitForQuiet();
    const Outcome written = line.master.exchange(write);
    if (line.gatewayGone(written)) {
        complain(QStringLiteral("whether the sensor took the write is not known"));
        return PortError;
    }
    const QString what = QStringLiteral("%1 %2").arg(change.name, settingValueText(change, change.expected));
    // Several sensors confirming at once garble their answers: each of them took the write.
    const bool several = isGarbled(written);
    if (several) {
        complain(QStringLiteral("writing %1 through station 250: %2: several sensors answered: the setting was "
                                "probably written to all of them")
                     .arg(what, statusCode(written)));
        if (!options.all)
            return stops.requestedNow() ? stops.exitStatus() : Failure;
    } else if (!written.ok()) {
        const Reading failed
            = readingOf(written, AnyStation, QDateTime::currentDateTime(), line.master.timeoutFor(write));
        complain(QStringLiteral("writing %1 through station 250: %2").arg(change.name, failureText(failed)));
        return stops.requestedNow() ? stops.exitStatus() : Failure;
    }
    if (options.all) {
        complain(QStringLiteral("%1 written through station 250: every sensor on the line took the setting").arg(what));
        // Read back through 250, their answers would collide again.
        if (several && !meant) {
            complain(QStringLiteral("not read back: several sensors answer; give -s N to read one of them back"));
            return stops.requestedNow() ? stops.exitStatus() : Success;
        }
    }
    if (stops.requestedNow()) {
        complain(QStringLiteral("stopped after writing %1: not read back").arg(what));
        return stops.exitStatus();
    }
    // The sensor takes the new rate once its answer has gone out.
    if (change.row == BaudRateRow)
        line.followRate(change.expected);

    const std::uint8_t asked = meant.value_or(AnyStation);
    const Frame read = withCrc(readRegistersHead(asked, 0, MeasurementRows));
    line.waitForQuiet();
    const QDateTime readAt = QDateTime::currentDateTime();
    const Outcome readBack = line.master.exchange(read);
    if (line.gatewayGone(readBack))
        return PortError;
    // Through 250 the answer names the station that gave it.
    const std::uint8_t station
        = asked == AnyStation && readBack.ok() ? static_cast<std::uint8_t>(readBack.frame().at(0)) : asked;
    const Reading reading = readingOf(readBack, station, readAt, line.master.timeoutFor(read));
    line.finishLog();
    // The exchange in flight when a signal came has ended; its record is written, then the program ends.
    const auto ending = [&](int status) { return stops.requestedNow() ? stops.exitStatus() : status; };

    Ended ended = Ended::No;
    const QString record = recordLine(options.format, reading);
    if (options.format == RecordFormat::Csv && sink.startsEmpty()
        && !writeRecord(sink, recordHeader(options.format), ended))
        return ending(ended == Ended::ReaderGone ? Success : Failure);
    if (!record.isEmpty() && !writeRecord(sink, record, ended))
        return ending(ended == Ended::ReaderGone ? Success : Failure);
    if (!reading.ok()) {
        QString text = QStringLiteral("reading %1 back from station %2: %3")
                           .arg(change.name)
                           .arg(asked)
                           .arg(failureText(reading));
        if (asked == AnyStation && isGarbled(readBack))
            text += QStringLiteral("; several sensors answered: read each back with 'kv9240b read -s N'");
        complain(text);
        return ending(Failure);
    }
    const std::optional<int> shown = reading.values[change.row];
    if (shown != change.expected) {
        complain(QStringLiteral("%1 reads back as %2, not %3")
                     .arg(change.name, shown ? settingValueText(change, *shown) : QStringLiteral("nothing"),
                         settingValueText(change, change.expected)));
        return ending(Failure);
    }
    return ending(Success);
}

} // namespace kv::cli

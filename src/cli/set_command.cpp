// set NAME VALUE: the window's parameter write through station 250, then the
// setting read back (at the new rate for baud).
#include "cli/commands.h"
#include "cli/line.h"
#include "protocol/measurement.h"
#include "serial/line_settings.h"
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

    const Frame write = withCrc(parameterWriteHead(change.index, change.registerValue));
    const Outcome written = line.master.exchange(write);
    if (!written.ok()) {
        const Reading failed
            = readingOf(written, AnyStation, QDateTime::currentDateTime(), line.master.timeoutFor(write));
        complain(QStringLiteral("writing %1 through station 250: %2").arg(change.name, failureText(failed)));
        return Failure;
    }
    // The sensor takes the new rate once its answer has gone out.
    if (change.row == BaudRateRow)
        line.port.setSettings(settingsText(change.expected));

    const std::uint8_t asked = options.stationGiven ? options.stations.first() : AnyStation;
    const Frame read = withCrc(readRegistersHead(asked, 0, MeasurementRows));
    line.waitForQuiet();
    const QDateTime readAt = QDateTime::currentDateTime();
    const Outcome readBack = line.master.exchange(read);
    // Through 250 the answer names the station that gave it.
    const std::uint8_t station
        = asked == AnyStation && readBack.ok() ? static_cast<std::uint8_t>(readBack.reply.at(0)) : asked;
    const Reading reading = readingOf(readBack, station, readAt, line.master.timeoutFor(read));
    line.finishLog();

    Ended ended = Ended::No;
    const QString record = recordLine(options.format, reading);
    if (options.format == RecordFormat::Csv && sink.startsEmpty()
        && !writeRecord(sink, recordHeader(options.format), ended))
        return ended == Ended::ReaderGone ? Success : Failure;
    if (!record.isEmpty() && !writeRecord(sink, record, ended))
        return ended == Ended::ReaderGone ? Success : Failure;
    if (!reading.ok()) {
        complain(QStringLiteral("reading %1 back from station %2: %3")
                     .arg(change.name)
                     .arg(asked)
                     .arg(failureText(reading)));
        return Failure;
    }
    const std::optional<int> shown = reading.values[change.row];
    if (shown != change.expected) {
        complain(QStringLiteral("%1 reads back as %2, not %3")
                     .arg(change.name, shown ? settingValueText(change, *shown) : QStringLiteral("nothing"),
                         settingValueText(change, change.expected)));
        return Failure;
    }
    return Success;
}

} // namespace kv::cli

// read and watch: registers 0 to 4 of each station, once or on a period.
#include "cli/commands.h"
#include "cli/line.h"
#include "cli/poller.h"
#include "cli/reading_tally.h"
#include "cli/stop_signals.h"
#include "session/record_format.h"

#include <QEventLoop>

namespace kv::cli {

int runPolling(const Options& options)
{
    const bool watch = options.command == Command::Watch;
    RecordSink sink;
    if (!openSink(sink, options))
        return UsageError;
    Line line(options);
    if (!line.open())
        return PortError;
    StopSignals stops;

    Ended ended = Ended::No;
    if (options.format == RecordFormat::Csv && sink.startsEmpty()
        && !writeRecord(sink, recordHeader(options.format), ended))
        return ended == Ended::ReaderGone ? Success : Failure;

    ReadingTally tally;
    const auto take = [&](const Reading& reading) {
        tally.add(reading);
        const QString record = recordLine(options.format, reading);
        // Line protocol carries measurements only: failures are said aside.
        if (record.isEmpty())
            complain(QStringLiteral("station %1: %2").arg(reading.station).arg(failureText(reading)));
        else if (!writeRecord(sink, record, ended))
            return false;
        if (reading.status == OutcomeKind::PortLost)
            complain(QStringLiteral("%1 was lost").arg(options.port));
        return true;
    };
    Poller::Plan plan{options.stations, std::nullopt, 1};
    if (watch)
        plan = {options.stations, options.interval, options.count};
    Poller poller(line.master, plan, take);

    QEventLoop loop;
    QObject::connect(&poller, &Poller::finished, &loop, &QEventLoop::quit);
    QObject::connect(&stops, &StopSignals::stopRequested, &poller, &Poller::stopAfterReading);
    poller.start();
    if (poller.running())
        loop.exec();
    line.finishLog();

    if (ended == Ended::ReaderGone)
        return Success; // | head -3: the reader has what it wanted
    if (watch)
        writeToStandardError(tally.summary());
    if (ended == Ended::WriteFailed)
        return Failure;
    return tally.allOk() ? Success : Failure;
}

} // namespace kv::cli

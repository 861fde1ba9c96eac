// read and watch: registers 0 to 4 of each station, once or on a period.
#include "cli/commands.h"
#include "cli/line.h"
#include "cli/reading_output.h"
#include "cli/reopen_signal.h"
#include "cli/stop_signals.h"
#include "session/poller.h"
#include "session/reading_tally.h"
#include "session/record_format.h"

#include <QEventLoop>

#include <utility>

namespace kv::cli {

int runPolling(const Options& options)
{
    const bool watch = options.command == Command::Watch;
    // The port first: a port that cannot be opened leaves no output file behind.
    Line line(options);
    if (!line.open())
        return PortError;
    ReadingOutput output(options);
    Ended ended = Ended::No;
    if (!output.open(ended))
        return ended == Ended::ReaderGone ? Success : Failure;
    StopSignals stops;
    ReopenSignal reopens;

    ReadingTally tally;
    bool lost = false;
    const auto take = [&](const Reading& reading) {
        tally.add(reading);
        if (!output.write(reading, ended))
            return false;
        if (reading.status == OutcomeKind::PortLost && !std::exchange(lost, true))
            complain(line.lostText());
        return true;
    };
    Poller::Plan plan{options.stations, std::nullopt, 1};
    if (watch)
        plan = {options.stations, options.interval, options.count};
    Poller poller(line.master, plan, take);

    QEventLoop loop;
    QObject::connect(&poller, &Poller::finished, &loop, &QEventLoop::quit);
    QObject::connect(&stops, &StopSignals::stopRequested, &poller, &Poller::stopAfterReading);
    QObject::connect(&reopens, &ReopenSignal::reopenRequested, &poller, [&] {
        if (!output.reopen(ended))
            poller.stopAfterReading();
    });
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
    if (lost && line.throughGateway())
        return PortError; // the gateway is gone: the line failed, not the sensors
    return tally.allOk() || options.exitZero ? Success : Failure;
}

} // namespace kv::cli

// address: the station number, read through station 250, which every sensor answers.
#include "cli/commands.h"
#include "cli/line.h"
#include "cli/sensor_records.h"
#include "protocol/kv9240b/request_frames.h"
#include "session/reading.h"

#include <QDateTime>

namespace kv::cli {

int runAddress(const Options& options)
{
    RecordSink sink;
    if (!openSink(sink, options))
        return UsageError;
    Line line(options);
    if (!line.open())
        return PortError;

    const Frame request = withCrc(addressReadHead());
    const Outcome outcome = line.master.exchange(request);
    line.finishLog();
    if (line.gatewayGone(outcome))
        return PortError;
    if (!outcome.ok()) {
        const Reading failed
            = readingOf(outcome, AnyStation, QDateTime::currentDateTime(), line.master.timeoutFor(request));
        QString text = QStringLiteral("station 250: ") + failureText(failed);
        if (outcome.kind == OutcomeKind::BadCrc || outcome.kind == OutcomeKind::Partial)
            text += QStringLiteral(
                "; several sensors on the line answer 250 at once? 'kv9240b find' asks them one by one");
        complain(text);
        return Failure;
    }

    Ended ended = Ended::No;
    const QString header = addressHeader(options.format);
    if (!header.isEmpty() && sink.startsEmpty() && !writeRecord(sink, header, ended))
        return ended == Ended::ReaderGone ? Success : Failure;
    if (!writeRecord(sink, addressLine(options.format, static_cast<std::uint8_t>(outcome.frame().at(0))), ended))
        return ended == Ended::ReaderGone ? Success : Failure;
    return Success;
}

} // namespace kv::cli

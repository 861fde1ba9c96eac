#include "cli/reading_output.h"

#include "cli/native_argument.h"

namespace kv::cli {

namespace {

QString formatName(RecordFormat format)
{
    switch (format) {
    case RecordFormat::Text:
        return QStringLiteral("text");
    case RecordFormat::Csv:
        return QStringLiteral("csv");
    case RecordFormat::Json:
        return QStringLiteral("json");
    case RecordFormat::Influx:
        return QStringLiteral("influx");
    }
    return {};
}

} // namespace

ReadingOutput::ReadingOutput(const Options& options)
    : m_format(options.format)
    , m_port(options.port)
    , m_recorder(options.format)
{
    if (options.output != QLatin1String("-"))
        m_path = argumentBytes(options.output);
    // Every record is handed to the system at once, as to a pipe; syncing
    // each to the disk would cost a watch more than the exchange itself.
    m_recorder.setSyncEachRow(false);
    QObject::connect(&m_recorder, &ReadingRecorder::failed,
        [this](RecordFailure failure, const QString& detail) { complainOfFailure(failure, detail); });
}

bool ReadingOutput::open(Ended& ended)
{
    if (toFile()) {
        if (m_recorder.start(m_path))
            return true;
        ended = Ended::WriteFailed;
        return false;
    }
    if (!m_sink.open({})) {
        complain(m_sink.error());
        ended = Ended::WriteFailed;
        return false;
    }
    return m_format != RecordFormat::Csv || !m_sink.startsEmpty() || writeRecord(m_sink, recordHeader(m_format), ended);
}

bool ReadingOutput::write(const Reading& taken, Ended& ended)
{
    Reading reading = taken;
    reading.port = m_port;
    // Made once, in the form its destination takes.
    const QString record = toFile() ? QString() : recordLine(m_format, reading);
    const QByteArray fileLine = toFile() ? recordLineBytes(m_format, reading) : QByteArray();
    // A reading no record can carry is said aside.
    if (record.isEmpty() && fileLine.isEmpty())
        complain(QStringLiteral("station %1: %2").arg(reading.station).arg(failureText(reading)));
    if (!toFile())
        return record.isEmpty() || writeRecord(m_sink, record, ended);
    if (m_recorder.recordLine(fileLine))
        return true;
    ended = Ended::WriteFailed;
    return false;
}

bool ReadingOutput::reopen(Ended& ended)
{
    if (!toFile() || m_recorder.reopen())
        return true;
    ended = Ended::WriteFailed;
    return false;
}

void ReadingOutput::complainOfFailure(RecordFailure failure, const QString& detail)
{
    const QString file = m_recorder.path();
    switch (failure) {
    case RecordFailure::CannotOpen:
        complain(QStringLiteral("cannot open %1: %2").arg(file, detail));
        break;
    case RecordFailure::NotARecording:
        complain(QStringLiteral("%1 holds something other than %2 records; nothing was appended")
                     .arg(file, formatName(m_format)));
        break;
    case RecordFailure::WriteFailed:
        complain(QStringLiteral("cannot write to %1: %2").arg(file, detail));
        break;
    case RecordFailure::FileGone:
        complain(QStringLiteral("%1 was deleted or renamed; recording stopped after %2 records")
                     .arg(file)
                     .arg(m_recorder.rowsWritten()));
        break;
    }
}

} // namespace kv::cli

#pragma once

#include "cli/command_line.h"
#include "cli/line.h"
#include "cli/record_sink.h"
#include "session/reading_recorder.h"

namespace kv::cli {

// Where read and watch put their records: standard output (no -o, or -o -),
// or a file through the same recorder as the window's recording, with its
// rules: a file of another format is refused, a line cut short is dropped,
// the header is written once, and a file deleted or renamed ends it.
class ReadingOutput {
public:
    explicit ReadingOutput(const Options& options);

    // Opens the output and writes the header a new one needs; when that
    // fails, says why on standard error and notes it in `ended`.
    bool open(Ended& ended);
    // One reading as a record. False, noted in `ended`, when the output ends.
    bool write(const Reading& reading, Ended& ended);
    // The file again under its name, as after a log rotation; nothing for
    // standard output.
    bool reopen(Ended& ended);

private:
    bool toFile() const { return !m_path.isEmpty(); }
    void complainOfFailure(RecordFailure failure, const QString& detail);

    RecordFormat m_format;
    QString m_port;    // as influx records tag it
    QByteArray m_path; // the file's name as given, byte for byte; empty for standard output
    RecordSink m_sink;
    ReadingRecorder m_recorder;
};

} // namespace kv::cli

// Whatever file a technician picks to record to: the recorder either leaves
// it exactly as it was, or keeps whole lines of an earlier recording (and
// nothing of anything else) and appends whole rows after them, with the
// recording's own line ends.
#include "fuzz_check.h"
#include "session/reading_recorder.h"
#include "session/record_format.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QTemporaryDir folder; // removed when the fuzzer ends
    static const QString path = folder.filePath(QStringLiteral("recording.csv"));
    const QByteArray before(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        require(file.write(before) == before.size());
    }

    kv::Reading reading;
    reading.time = QDateTime::fromMSecsSinceEpoch(1'800'000'000'000);
    reading.station = 1;
    reading.status = kv::OutcomeKind::Ok;
    reading.values = kv::Measurement{1, 2534, 4507, 0, 0, 9600};
    kv::ReadingRecorder recorder;
    const bool started = recorder.start(path);
    recorder.record(reading);
    recorder.stop();

    QFile file(path);
    require(file.open(QIODevice::ReadOnly));
    const QByteArray after = file.readAll();
    if (!started) {
        require(after == before);
        return 0;
    }
    // A recording whose lines end in CR LF goes on with them.
    QByteArray header = kv::recordHeaderBytes(kv::RecordFormat::Csv);
    QByteArray row = kv::recordLineBytes(kv::RecordFormat::Csv, reading);
    const QByteArray crlfHeader = header.chopped(1) + "\r\n";
    const bool crlf = before.startsWith(crlfHeader);
    if (crlf) {
        header = crlfHeader;
        row = row.chopped(1) + "\r\n";
    }
    require(after.startsWith(header) && after.endsWith(row));
    const QByteArray kept = after.left(after.size() - row.size());
    if (before.startsWith(header))
        require(before.startsWith(kept) && kept.endsWith('\n'));
    else
        require(kept == header);
    return 0;
}

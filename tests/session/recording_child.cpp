// The other half of tst_reading_recorder's crash and disk-full tests: a process
// that records numbered readings, row i with the temperature i hundredths.
//
//   recording_child forever PATH            records until it is killed
//   recording_child once PATH GO            says "ready", waits until the file GO
//                                            exists, records one reading
//   recording_child limited PATH BYTES ROWS  records ROWS readings into a file
//                                            that may not grow past BYTES
#include "session/reading_recorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace kv;

namespace {

Reading numbered(int row)
{
    static const QDateTime start = QDateTime::currentDateTime();
    Reading reading;
    reading.time = start.addMSecs(50LL * row);
    reading.station = 1;
    reading.status = OutcomeKind::Ok;
    reading.values = Measurement{1, row, 5000, 0, 0, 9600};
    return reading;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    ReadingRecorder recorder;
    int failures = 0;
    QObject::connect(&recorder, &ReadingRecorder::failed, [&failures] { ++failures; });

    if (args[1] == QLatin1String("forever")) {
        if (!recorder.start(args[2]))
            return 1;
        for (int row = 0; recorder.isRecording(); ++row)
            recorder.record(numbered(row));
        return 1;
    }
    if (args[1] == QLatin1String("once") && args.size() == 4) {
        std::printf("ready\n");
        std::fflush(stdout);
        // Spinning, not sleeping: two children see the word within microseconds.
        const QByteArray go = QFile::encodeName(args[3]);
        while (::access(go.constData(), F_OK) != 0) {
        }
        if (!recorder.start(args[2]))
            return 1;
        return recorder.record(numbered(0)) ? 0 : 1;
    }
    if (args[1] == QLatin1String("limited") && args.size() == 5) {
        // As a full disk does: writes past the limit fail instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{args[3].toULong(), args[3].toULong()};
        setrlimit(RLIMIT_FSIZE, &limit);
        recorder.start(args[2]);
        for (int row = 0; row < args[4].toInt(); ++row)
            recorder.record(numbered(row));
        std::printf("rows %lld\nfailures %d\nrecording %s\n", static_cast<long long>(recorder.rowsWritten()), failures,
            recorder.isRecording() ? "yes" : "no");
        return 0;
    }
    return 2;
}

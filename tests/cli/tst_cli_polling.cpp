// kv9240b read and watch, run as a process against the simulated sensor (or a
// pseudo-terminal the test answers on), as a script or a logger runs them.
#include "cli_process.h"
#include "frames.h"
#include "protocol/modbus/crc16.h"
#include "protocol/modbus/frame.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

const QString CsvHeader
    = QStringLiteral("time,station,temperature_c,humidity_rh,temperature_offset_c,humidity_offset_rh,baud,status");
const QRegularExpression IsoTime(
    QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));

// Station 5 at -3.50 °C and 41.25 %RH; station 6 is asked too and never answers.
QStringList simulatedStation5()
{
    return {"--station", "5", "--temperature", "-3.5", "--humidity", "41.25"};
}

QStringList readBoth(const SimProcess& sim, const QString& format)
{
    return {"read", "-p", sim.devicePath(), "-s", "5,6", "-f", format};
}

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QDateTime timeOf(const QString& iso)
{
    return QDateTime::fromString(iso, Qt::ISODateWithMs);
}

// kv9240b started on a pseudo-terminal the test plays the sensor on.
struct ScriptedLine {
    PtyPair pty;
    QProcess cli;

    explicit ScriptedLine(const QStringList& arguments)
    {
        cli.start(cliPath(), QStringList{"-p", pty.slavePath()} + arguments);
    }
    CliRun finish()
    {
        CliRun run;
        run.finished = cli.waitForFinished(5000);
        run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        run.out = QString::fromUtf8(cli.readAllStandardOutput());
        run.err = QString::fromUtf8(cli.readAllStandardError());
        return run;
    }
};

} // namespace

class tst_CliPolling : public QObject {
    Q_OBJECT

private slots:
    void textRecords();
    void csvRecords();
    void jsonRecords();
    void influxRecords();
    void failureKinds_data();
    void failureKinds();
    void answerFromAnotherStation();
    void portLostMidReading();
    void fixedTimeout();
    void outputFileAppendsWithOneHeader();
    void outputFileKeepsToItsFormat_data();
    void outputFileKeepsToItsFormat();
    void outputFileGoneEndsWatch();
    void hangupReopensTheOutputFile();
    void verboseWritesEveryFrame();
    void watchKeepsItsPeriod();
    void stopSignalEndsWatchWithSummary_data();
    void stopSignalEndsWatchWithSummary();
    void closedPipeEndsWatchQuietly();
};

void tst_CliPolling::textRecords()
{
    SimProcess sim(simulatedStation5());
    const CliRun run = runCli(readBoth(sim, "text"));
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1); // station 6 did not answer
    QCOMPARE(run.outLines(),
        (QStringList{"station 5  -3.50 °C  41.25 %RH  offsets +0.00 °C +0.00 %RH  9600 baud",
            "station 6  no reply (timeout 129 ms)"}));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
}

void tst_CliPolling::csvRecords()
{
    SimProcess sim(simulatedStation5());
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    const CliRun run = runCli(readBoth(sim, "csv"));
    QCOMPARE(run.exitCode, 1);
    const QStringList lines = run.outLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], CsvHeader);

    const QStringList ok = lines[1].split(',');
    QCOMPARE(ok.size(), 8);
    QVERIFY2(IsoTime.match(ok[0]).hasMatch(), qPrintable(ok[0]));
    QVERIFY(timeOf(ok[0]) >= before && timeOf(ok[0]) <= QDateTime::currentDateTime());
    QCOMPARE(ok.mid(1), (QStringList{"5", "-3.50", "41.25", "0.00", "0.00", "9600", "ok"}));

    const QStringList failed = lines[2].split(',');
    QCOMPARE(failed.size(), 8);
    QVERIFY(timeOf(failed[0]) >= timeOf(ok[0]));
    QCOMPARE(failed.mid(1), (QStringList{"6", "", "", "", "", "", "no-reply"}));
}

void tst_CliPolling::jsonRecords()
{
    SimProcess sim(simulatedStation5());
    const CliRun run = runCli(readBoth(sim, "json"));
    QCOMPARE(run.exitCode, 1);
    const QStringList lines = run.outLines();
    QCOMPARE(lines.size(), 2);

    QJsonParseError error;
    const QJsonObject ok = QJsonDocument::fromJson(lines[0].toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(ok.keys(),
        (QStringList{"baud", "humidity_offset_rh", "humidity_rh", "station", "status", "temperature_c",
            "temperature_offset_c", "time"}));
    QVERIFY(IsoTime.match(ok["time"].toString()).hasMatch());
    QCOMPARE(ok["station"].toInt(), 5);
    QCOMPARE(ok["temperature_c"].toDouble(), -3.5);
    QCOMPARE(ok["humidity_rh"].toDouble(), 41.25);
    QCOMPARE(ok["baud"].toInt(), 9600);
    QCOMPARE(ok["status"].toString(), "ok");
    // Two decimals as in the other formats, where a JSON writer would drop them.
    QVERIFY2(lines[0].contains("\"temperature_c\":-3.50,\"humidity_rh\":41.25,\"temperature_offset_c\":0.00"),
        qPrintable(lines[0]));

    const QJsonObject failed = QJsonDocument::fromJson(lines[1].toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(failed["station"].toInt(), 6);
    QCOMPARE(failed["status"].toString(), "no-reply");
    for (const char* key : {"temperature_c", "humidity_rh", "temperature_offset_c", "humidity_offset_rh", "baud"})
        QVERIFY2(failed[key].isNull(), key);
}

void tst_CliPolling::influxRecords()
{
    SimProcess sim(simulatedStation5());
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const CliRun run = runCli(readBoth(sim, "influx"));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.outLines().size(), 2);
    const QString port = sim.devicePath().replace(QLatin1Char(','), QLatin1String("\\,"));
    static const QRegularExpression line(
        QStringLiteral("^kv9240b,station=5,port=\\S+ temperature_c=-3.50,humidity_rh=41.25,temperature_offset_c=0.00,"
                       "humidity_offset_rh=0.00,baud=9600i,status=\"ok\" (\\d+)$"));
    const QRegularExpressionMatch match = line.match(run.outLines().first());
    QVERIFY2(match.hasMatch(), qPrintable(run.out));
    const qint64 nanoseconds = match.captured(1).toLongLong();
    QVERIFY(nanoseconds >= before * 1'000'000 && nanoseconds <= QDateTime::currentMSecsSinceEpoch() * 1'000'000);
    QVERIFY(run.outLines().first().startsWith(QStringLiteral("kv9240b,station=5,port=") + port + QLatin1Char(' ')));
    // A failed reading is a point with its status and no values, so the collector sees it.
    QVERIFY2(QRegularExpression(QStringLiteral("^kv9240b,station=6,port=\\S+ status=\"no-reply\" \\d+$"))
                 .match(run.outLines().last())
                 .hasMatch(),
        qPrintable(run.out));
    QCOMPARE(run.errLines(), QStringList{});
    // With --exit-zero a run with a failed station still succeeds, so Telegraf keeps its points.
    const CliRun kept = runCli(readBoth(sim, "influx") << "--exit-zero");
    QCOMPARE(kept.exitCode, 0);
    QCOMPARE(kept.outLines().size(), 2);
}

void tst_CliPolling::failureKinds_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QStringList>("cliArguments");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("text");

    QTest::newRow("no reply") << QStringList{"--fault", "no-reply:1"} << QStringList{} << "no-reply"
                              << "no reply (timeout 129 ms)";
    QTest::newRow("wrong rate") << QStringList{} << QStringList{"-b", "4800"} << "no-reply"
                                << "no reply (timeout 156 ms)";
    QTest::newRow("partial") << QStringList{"--fault", "partial:1"} << QStringList{} << "partial"
                             << "partial (";
    QTest::newRow("bad CRC") << QStringList{"--fault", "bad-crc:1"} << QStringList{} << "bad-crc"
                             << "bad CRC";
    QTest::newRow("exception") << QStringList{"--fault", "exception:1"} << QStringList{} << "exception-04"
                               << "exception 04 (server device failure)";
    QTest::newRow("another station") << QStringList{"--fault", "wrong-station:1"} << QStringList{} << "unexpected"
                                     << "unexpected reply (another station)";
}

void tst_CliPolling::failureKinds()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QStringList, cliArguments);
    QFETCH(QString, status);
    QFETCH(QString, text);
    SimProcess sim(simArguments);

    const CliRun csv = runCli(QStringList{"read", "-p", sim.devicePath(), "-f", "csv"} + cliArguments);
    QCOMPARE(csv.exitCode, 1);
    QCOMPARE(csv.outLines().size(), 2);
    QCOMPARE(csv.outLines()[1].section(',', 1), QStringLiteral("1,,,,,,") + status);

    const CliRun human = runCli(QStringList{"read", "-p", sim.devicePath()} + cliArguments);
    QCOMPARE(human.exitCode, 1);
    QVERIFY2(human.out.startsWith(QStringLiteral("station 1  ") + text), qPrintable(human.out));
}

void tst_CliPolling::answerFromAnotherStation()
{
    ScriptedLine line({"read", "-s", "2", "-f", "json"});
    const QByteArray request = line.pty.receive(8);
    QCOMPARE(request,
        QByteArray::fromHex("020300000005"
                            "85FA"));
    // Station 3 answers in its place: intact, but not what was asked.
    line.pty.send(framed(bytes({0x03, 0x03, 0x0A, 0x09, 0xC4, 0x17, 0x70, 0, 0, 0, 0, 0x25, 0x80})));
    const CliRun run = line.finish();
    QCOMPARE(run.exitCode, 1);
    const QJsonObject record = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(record["station"].toInt(), 2);
    QCOMPARE(record["status"].toString(), "unexpected");
    QVERIFY(record["temperature_c"].isNull());
}

void tst_CliPolling::portLostMidReading()
{
    ScriptedLine line({"read", "-t", "5000"});
    QCOMPARE(line.pty.receive(8).size(), 8);
    line.pty.hangUp(); // the adapter is pulled out while the reply is awaited
    const CliRun run = line.finish();
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.outLines(), QStringList{"station 1  port lost"});
    QVERIFY2(run.err.contains("was lost"), qPrintable(run.err));
}

void tst_CliPolling::fixedTimeout()
{
    SimProcess sim({"--fault", "no-reply:1"});
    const CliRun run = runCli({"read", "-p", sim.devicePath(), "--timeout", "300"});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.outLines(), QStringList{"station 1  no reply (timeout 300 ms)"});
}

void tst_CliPolling::outputFileAppendsWithOneHeader()
{
    SimProcess sim;
    QTemporaryDir dir;
    const QString file = dir.filePath("climate.csv");
    for (int run = 0; run < 2; ++run) {
        const CliRun read = runCli({"read", "-p", sim.devicePath(), "-f", "csv", "-o", file});
        QCOMPARE(read.exitCode, 0);
        QVERIFY(read.out.isEmpty());
    }
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QStringList lines = CliRun::lines(QString::fromUtf8(written.readAll()));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], CsvHeader);
    QVERIFY(lines[1].endsWith(",1,25.00,60.00,0.00,0.00,9600,ok"));
    QVERIFY(lines[2].endsWith(",1,25.00,60.00,0.00,0.00,9600,ok"));

    // A file that cannot be opened is refused before a request goes out.
    const CliRun refused = runCli({"read", "-p", sim.devicePath(), "-o", dir.filePath("no/such/dir/x.csv")});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.startsWith("kv9240b: cannot open "), qPrintable(refused.err));
    QVERIFY2(refused.err.contains("No such file or directory"), qPrintable(refused.err));
    QVERIFY(sim.lines("RX").size() == 2);

    // A port that cannot be opened leaves no output file behind.
    const QString unused = dir.filePath("unused.csv");
    QCOMPARE(runCli({"read", "-p", dir.filePath("no-such-port"), "-o", unused}).exitCode, 3);
    QVERIFY(!QFile::exists(unused));

    // "-" is standard output, not a file of that name.
    const CliRun dash = runCli({"read", "-p", sim.devicePath(), "-f", "csv", "-o", "-"}, 15000, dir.path());
    QCOMPARE(dash.exitCode, 0);
    QCOMPARE(dash.outLines().value(0), CsvHeader);
    QCOMPARE(dash.outLines().size(), 2);
    QVERIFY(!QFile::exists(dir.filePath("-")));

    // A name that is not UTF-8 is the file's name byte for byte.
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("bash"),
        {"-c", "\"$0\" read -p \"$1\" -o \"$(printf 'r\\377.csv')\"", cliPath(), sim.devicePath()});
    QVERIFY(shell.waitForFinished(5000));
    QCOMPARE(shell.exitCode(), 0);
    QVERIFY(::access(QFile::encodeName(dir.path()) + "/r\377.csv", F_OK) == 0);
}

void tst_CliPolling::outputFileKeepsToItsFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("kept"); // empty: refused, the file left as it was
    const QByteArray header = CsvHeader.toUtf8();
    const QByteArray row = "2026-12-08T11:00:31.000+01:00,1,25.00,60.00,0.00,0.00,9600,ok";
    const QByteArray json = R"({"time":"2026-12-08T11:00:31.000+01:00","station":1,"temperature_c":25.00})";
    QTest::newRow("csv, last row cut off")
        << "csv" << header + '\n' + row + '\n' + row.left(40) << header + '\n' + row + '\n';
    QTest::newRow("csv, header without newline") << "csv" << header << header + '\n';
    QTest::newRow("csv with CR LF") << "csv" << header + "\r\n" + row + "\r\n" << header + "\r\n" + row + "\r\n";
    QTest::newRow("csv to json lines") << "csv" << json + '\n' << QByteArray();
    QTest::newRow("json, last line cut off") << "json" << json + '\n' + json.left(20) << json + '\n';
    QTest::newRow("json to another csv") << "json" << QByteArray("a,b\n1,2\n") << QByteArray();
    QTest::newRow("influx to json lines") << "influx" << json + '\n' << QByteArray();
}

// -o appends only to records of its own format, whole lines after whole lines.
void tst_CliPolling::outputFileKeepsToItsFormat()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, kept);
    SimProcess sim;
    QTemporaryDir dir;
    const QString file = dir.filePath("records");
    QFile existing(file);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write(before);
    existing.close();

    const CliRun run = runCli({"read", "-p", sim.devicePath(), "-f", format, "-o", file});
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray after = written.readAll();
    if (kept.isEmpty()) {
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(" holds something other than " + format + " records"), qPrintable(run.err));
        QCOMPARE(after, before);
        QVERIFY(sim.lines("RX").isEmpty());
        return;
    }
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(after.startsWith(kept), after.constData());
    const QByteArray added = after.mid(kept.size());
    const QByteArray lineEnd = kept.endsWith("\r\n") ? "\r\n" : "\n";
    // One whole record: one line, one time stamp, nothing of a cut-off line before it.
    static const QRegularExpression stamp(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT"));
    QVERIFY2(added.endsWith(lineEnd) && added.count('\n') == 1, added.constData());
    QVERIFY2(QString::fromUtf8(added).count(stamp) == 1, added.constData());
    QVERIFY2(added.contains("25.00"), added.constData());
}

// The file deleted under a watch: it stops, says so, and fails.
void tst_CliPolling::outputFileGoneEndsWatch()
{
    SimProcess sim;
    QTemporaryDir dir;
    const QString file = dir.filePath("gone.csv");
    QProcess cli;
    cli.start(cliPath(), {"watch", "-p", sim.devicePath(), "-i", "50", "-f", "csv", "-o", file});
    QTRY_VERIFY_WITH_TIMEOUT(sim.lines("RX").size() >= 3, 10000);
    QVERIFY(QFile::remove(file));
    QVERIFY(cli.waitForFinished(3000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 1);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(err.startsWith("kv9240b: " + file + " was deleted or renamed; recording stopped"), qPrintable(err));
}

// A log rotation: the file moved away and SIGHUP; the watch goes on into a
// new file with its own header, and still ends with its summary.
void tst_CliPolling::hangupReopensTheOutputFile()
{
    SimProcess sim;
    QTemporaryDir dir;
    const QString file = dir.filePath("climate.csv");
    const QString rotated = dir.filePath("climate.csv.1");
    QProcess cli;
    cli.start(cliPath(), {"watch", "-p", sim.devicePath(), "-i", "400", "-f", "csv", "-o", file});
    QTRY_VERIFY_WITH_TIMEOUT(CliRun::lines(readAll(file)).size() >= 2, 10000);
    // Right after a row, as logrotate does it: move, then signal.
    const qsizetype written = CliRun::lines(readAll(file)).size();
    QTRY_VERIFY_WITH_TIMEOUT(CliRun::lines(readAll(file)).size() > written, 3000);
    QVERIFY(QFile::rename(file, rotated));
    ::kill(static_cast<pid_t>(cli.processId()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT(CliRun::lines(readAll(file)).size() >= 3, 5000);
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(3000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.readAllStandardError().contains(" readings, "));
    const QStringList before = CliRun::lines(readAll(rotated));
    const QStringList after = CliRun::lines(readAll(file));
    QCOMPARE(before.value(0), CsvHeader);
    QCOMPARE(after.value(0), CsvHeader);
    QCOMPARE(before.size() - 1 + after.size() - 1, sim.lines("RX").size());
}

void tst_CliPolling::verboseWritesEveryFrame()
{
    SimProcess sim({"--station", "5"});
    const CliRun run = runCli({"read", "-p", sim.devicePath(), "-s", "5,6", "-v"});
    QCOMPARE(run.exitCode, 1);
    const QStringList frames = run.errLines();
    QCOMPARE(frames.size(), 4);
    const QRegularExpression line(QStringLiteral("^(\\S+) (TX|RX) ([0-9A-F ]+|-)  (.+)$"));
    QStringList seen;
    for (const QString& frame : frames) {
        const QRegularExpressionMatch match = line.match(frame);
        QVERIFY2(match.hasMatch(), qPrintable(frame));
        QVERIFY2(IsoTime.match(match.captured(1)).hasMatch(), qPrintable(frame));
        seen << match.captured(2) + ' ' + match.captured(3) + " / " + match.captured(4);
    }
    QCOMPARE(seen[0], QStringLiteral("TX 05 03 00 00 00 05 84 4D / request"));
    QVERIFY2(seen[1].startsWith("RX 05 03 0A 09 C4 17 70 ") && seen[1].endsWith(" / ok"), qPrintable(seen[1]));
    QCOMPARE(seen[2], QStringLiteral("TX 06 03 00 00 00 05 84 7E / request"));
    QVERIFY2(seen[3].startsWith("RX - / no-reply (waited "), qPrintable(seen[3]));
}

void tst_CliPolling::watchKeepsItsPeriod()
{
    SimProcess sim;
    const CliRun run = runCli({"watch", "-p", sim.devicePath(), "-i", "100", "-n", "6", "-f", "csv"});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.outLines();
    QCOMPARE(lines.size(), 7);
    QList<QDateTime> times;
    for (const QString& line : lines.mid(1)) {
        QVERIFY(line.endsWith(",ok"));
        times << timeOf(line.section(',', 0, 0));
    }
    // Five periods from the first poll to the last: 500 ms on the grid, where
    // waiting a period after each exchange would take 5 x (100 + 29) ms.
    const qint64 span = times.first().msecsTo(times.last());
    QVERIFY2(span >= 495 && span < 580, qPrintable(QString::number(span)));
    QVERIFY2(run.err.startsWith("6 readings, 6 ok, loss 0.0 %, response time min "), qPrintable(run.err));
}

void tst_CliPolling::stopSignalEndsWatchWithSummary_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl-C") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

void tst_CliPolling::stopSignalEndsWatchWithSummary()
{
    QFETCH(int, signalNumber);
    SimProcess sim({"--fault", "no-reply:0.3", "--seed", "3"});
    QProcess cli;
    cli.start(cliPath(), {"watch", "-p", sim.devicePath(), "-i", "50", "-f", "csv"});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.lines("RX").size() >= 10, 10000);
    ::kill(static_cast<pid_t>(cli.processId()), signalNumber);
    QVERIFY(cli.waitForFinished(3000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);

    const QString err = QString::fromUtf8(cli.readAllStandardError());
    static const QRegularExpression summary(QStringLiteral(
        "^(\\d+) readings, (\\d+) ok, (\\d+) no-reply, loss (\\d+\\.\\d) %, response time min [0-9.]+ / median "
        "[0-9.]+ / max [0-9.]+ ms\\n$"));
    const QRegularExpressionMatch match = summary.match(err);
    QVERIFY2(match.hasMatch(), qPrintable(err));
    const int readings = match.captured(1).toInt();
    QCOMPARE(match.captured(2).toInt() + match.captured(3).toInt(), readings);
    QVERIFY(match.captured(3).toInt() > 0);
    QCOMPARE(cli.exitCode(), 1); // some readings failed
    // Every reading the summary counts was written, the one in flight included.
    QCOMPARE(readings, sim.lines("RX").size());
}

void tst_CliPolling::closedPipeEndsWatchQuietly()
{
    SimProcess sim;
    // As a shell pipes it: head takes three records and goes.
    QProcess shell;
    shell.start(QStringLiteral("bash"),
        {"-c", "\"$0\" watch -p \"$1\" -i 50 | head -3; echo \"status ${PIPESTATUS[0]}\" >&2", cliPath(),
            sim.devicePath()});
    QVERIFY(shell.waitForFinished(5000));
    const QStringList records = CliRun::lines(QString::fromUtf8(shell.readAllStandardOutput()));
    QCOMPARE(records.size(), 3);
    for (const QString& record : records)
        QVERIFY2(record.startsWith("station 1  25.00 °C"), qPrintable(record));
    // No complaint, no summary, and success.
    QCOMPARE(QString::fromUtf8(shell.readAllStandardError()), QStringLiteral("status 0\n"));
}

QTEST_GUILESS_MAIN(tst_CliPolling)
#include "tst_cli_polling.moc"

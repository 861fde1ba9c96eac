// kv9240b find, run as a process on simulated lines: sensors found through
// station 250, collisions that start a scan, silence, and an early stop.
#include "cli_process.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

using namespace kv::test;

namespace {

const QRegularExpression Tally(QStringLiteral("^found (\\d+) sensors? in (\\d+\\.\\d\\d) s$"));

} // namespace

class tst_CliFind : public QObject {
    Q_OBJECT

private slots:
    void findsTheSensor_data();
    void findsTheSensor();
    void severalSensorsAtAnotherRate();
    void silentLine();
    void collisionStartsAScan();
    void ctrlCEndsTheSearch();
    void oneSpoiledAnswerIsNoCollision();
    void portLostKeepsWhatWasFound();
};

void tst_CliFind::findsTheSensor_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("text") << "text";
    QTest::newRow("csv") << "csv";
    QTest::newRow("json") << "json";
}

void tst_CliFind::findsTheSensor()
{
    QFETCH(QString, format);
    SimProcess sim({"--station", "9", "--baud", "19200", "--temperature", "18.25", "--humidity", "70"});
    const QString device = sim.devicePath();
    const CliRun run = runCli({"find", "--ports", device, "--bauds", "19200", "-f", format});
    QCOMPARE(run.exitCode, 0);
    const QStringList out = run.outLines();
    if (format == QLatin1String("text")) {
        QCOMPARE(out.size(), 2);
        QCOMPARE(out[0], device + QStringLiteral("  19200 baud  station 9  18.25 °C  70.00 %RH"));
        QVERIFY2(Tally.match(out[1]).hasMatch(), qPrintable(out[1]));
        QCOMPARE(Tally.match(out[1]).captured(1), QStringLiteral("1"));
        QVERIFY(run.err.isEmpty());
        return;
    }
    // The machine formats keep to their records; the tally goes to standard error.
    QVERIFY2(Tally.match(run.err.trimmed()).hasMatch(), qPrintable(run.err));
    if (format == QLatin1String("csv")) {
        QCOMPARE(out,
            (QStringList{"port,baud,station,temperature_c,humidity_rh,status",
                device + QStringLiteral(",19200,9,18.25,70.00,ok")}));
        return;
    }
    QCOMPARE(out.size(), 1);
    const QJsonObject found = QJsonDocument::fromJson(out[0].toUtf8()).object();
    QCOMPARE(found["port"].toString(), device);
    QCOMPARE(found["baud"].toInt(), 19200);
    QCOMPARE(found["station"].toInt(), 9);
    QCOMPARE(found["temperature_c"].toDouble(), 18.25);
    QCOMPARE(found["humidity_rh"].toDouble(), 70.0);
    QVERIFY2(out[0].contains("\"humidity_rh\":70.00"), qPrintable(out[0]));
}

void tst_CliFind::severalSensorsAtAnotherRate()
{
    // Three sensors listening at 19200: silence at 9600, a collision of their
    // answers to 250 at 19200, then each found by its own station.
    SimProcess sim({"--station", "3,8,200", "--baud", "19200"});
    const QString device = sim.devicePath();
    const CliRun run = runCli({"find", "--ports", device, "--bauds", "9600,19200", "-t", "40"}, 30000);
    QCOMPARE(run.exitCode, 0);
    const QStringList out = run.outLines();
    QCOMPARE(out.size(), 4);
    QCOMPARE(out.mid(0, 3),
        (QStringList{device + "  19200 baud  station 3  25.00 °C  60.00 %RH",
            device + "  19200 baud  station 8  26.00 °C  62.00 %RH",
            device + "  19200 baud  station 200  27.00 °C  64.00 %RH"}));
    QCOMPARE(Tally.match(out[3]).captured(1), QStringLiteral("3"));
    QCOMPARE(run.errLines(),
        QStringList{QStringLiteral("kv9240b: %1 at 19200 baud: the answers to station 250 collide "
                                   "(bad-crc): several sensors; asking stations 1 to 247 one by one")
                        .arg(device)});
    QCOMPARE(sim.lines("RX").size(), 4 + 247); // 250 three times at 19200
}

void tst_CliFind::silentLine()
{
    PtyPair line;
    const CliRun run = runCli({"find", "--ports", line.slavePath(), "-v"});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.outLines().size(), 1);
    QVERIFY2(Tally.match(run.outLines().first()).hasMatch(), qPrintable(run.out));
    QCOMPARE(Tally.match(run.outLines().first()).captured(1), QStringLiteral("0"));
    // --verbose says what is tried, and each request with its verdict.
    const QString trying = QStringLiteral("trying %1 at %2 baud, station 250");
    QStringList tried;
    for (const QString& line : run.errLines()) {
        if (line.startsWith("trying "))
            tried << line;
    }
    QCOMPARE(tried,
        (QStringList{trying.arg(line.slavePath()).arg(9600), trying.arg(line.slavePath()).arg(19200),
            trying.arg(line.slavePath()).arg(4800), trying.arg(line.slavePath()).arg(2400)}));
    QCOMPARE(run.err.count(" TX FA 03 00 00 00 01 91 81  request"), 4);
    QCOMPARE(run.err.count("  no-reply (waited "), 4);
}

void tst_CliFind::collisionStartsAScan()
{
    // Every answer garbled: to 250 as when several sensors answer at once.
    SimProcess sim({"--station", "12", "--baud", "19200", "--fault", "bad-crc:1"});
    const CliRun run = runCli({"find", "--ports", sim.devicePath(), "--bauds", "19200", "-t", "25"}, 30000);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errLines(),
        (QStringList{QStringLiteral("kv9240b: %1 at 19200 baud: the answers to station 250 collide (bad-crc): several "
                                    "sensors; asking stations 1 to 247 one by one")
                         .arg(sim.devicePath()),
            QStringLiteral("kv9240b: %1 at 19200 baud: station 12 answers bad-crc: two sensors with one "
                           "station number?")
                .arg(sim.devicePath())}));
    // Station 250 three times (a garbled answer may be noise), then each station in turn.
    const QStringList asked = sim.lines("RX");
    QCOMPARE(asked.size(), 3 + 247);
    QCOMPARE(asked[2], QStringLiteral("FA 03 00 00 00 01 91 81"));
    QCOMPARE(asked[3], QStringLiteral("01 03 00 00 00 05 85 C9"));
    QVERIFY(asked.last().startsWith(QLatin1String("F7 03 00 00 00 05")));
}

void tst_CliFind::ctrlCEndsTheSearch()
{
    PtyPair line;
    QProcess cli;
    cli.start(cliPath(), {"find", "--ports", line.slavePath(), "--scan"});
    QVERIFY(cli.waitForStarted());
    QByteArray sent;
    // Station 250 and two stations of the scan have been asked.
    QTRY_VERIFY_WITH_TIMEOUT((sent += line.drain(20)).size() >= 3 * 8, 5000);
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(1000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 130);
    // Where it stopped, then what it had found by then.
    const QString out = QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
    const QRegularExpressionMatch stopped
        = QRegularExpression(QStringLiteral("^stopped at station (\\d+) of 247 at 9600 baud: (.*)$")).match(out);
    QVERIFY2(stopped.hasMatch(), qPrintable(out));
    QVERIFY(stopped.captured(1).toInt() >= 2);
    QCOMPARE(Tally.match(stopped.captured(2)).captured(1), QStringLiteral("0"));
}

void tst_CliFind::oneSpoiledAnswerIsNoCollision()
{
    // Noise spoils the sensor's first answer to 250; the second comes through.
    SimProcess sim({"--station", "5", "--fault", "bad-crc:1,to=250,times=1"});
    const CliRun run = runCli({"find", "--ports", sim.devicePath(), "--bauds", "9600"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    QCOMPARE(run.outLines().value(0), sim.devicePath() + "  9600 baud  station 5  25.00 °C  60.00 %RH");
    QCOMPARE(sim.lines("RX"),
        (QStringList{"FA 03 00 00 00 01 91 81", "FA 03 00 00 00 01 91 81", "05 03 00 00 00 05 84 4D"}));
}

void tst_CliFind::portLostKeepsWhatWasFound()
{
    // A sensor found at 9600; at 19200 the adapter is pulled out.
    PtyPair line;
    QProcess cli;
    cli.start(cliPath(), {"find", "--ports", line.slavePath(), "--bauds", "9600,19200"});
    QVERIFY(cli.waitForStarted());
    QCOMPARE(line.receive(8),
        QByteArray::fromHex("FA0300000001"
                            "9181"));
    line.send(QByteArray::fromHex("0303020003"
                                  "8185"));
    QCOMPARE(line.receive(8),
        QByteArray::fromHex("030300000005"
                            "842B"));
    line.send(QByteArray::fromHex("03030A09C41770000000002580"
                                  "BB03"));
    QCOMPARE(line.receive(8),
        QByteArray::fromHex("FA0300000001"
                            "9181"));
    line.hangUp();
    QVERIFY(cli.waitForFinished(5000));
    QCOMPARE(cli.exitCode(), 1); // the search did not get through
    const QStringList out = CliRun::lines(QString::fromUtf8(cli.readAllStandardOutput()));
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0], line.slavePath() + "  9600 baud  station 3  25.00 °C  60.00 %RH");
    QCOMPARE(Tally.match(out[1]).captured(1), QStringLiteral("1"));
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()),
        QStringLiteral("kv9240b: %1 was lost during the search: the device failed or went away (is the RS-485 "
                       "adapter still plugged in?); the search goes on without it\n")
            .arg(line.slavePath()));
}

QTEST_GUILESS_MAIN(tst_CliFind)
#include "tst_cli_find.moc"

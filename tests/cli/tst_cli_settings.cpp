// kv9240b set and address, run as a process against the simulated sensor:
// the frames that go out, what is read back, and what the user sees.
#include "cli_process.h"
#include "frames.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>

using namespace kv;
using namespace kv::test;

namespace {

// "FA 06 0A 00 00 96" with its CRC, as the simulator logs a frame.
QString withCrcHex(const char* hex)
{
    QByteArray frame = QByteArray::fromHex(hex);
    const std::uint16_t crc = crc16Modbus(asBytes(frame));
    frame += bytes({crc & 0xFF, crc >> 8});
    return QString::fromLatin1(frame.toHex(' ').toUpper());
}

QByteArray frameWithCrc(const char* hex)
{
    return QByteArray::fromHex(withCrcHex(hex).toLatin1());
}

} // namespace

class tst_CliSettings : public QObject {
    Q_OBJECT

private slots:
    void setWritesAndReadsBack_data();
    void setWritesAndReadsBack();
    void setFailsWhenTheValueReadBackDiffers();
    void setRefusesBeforeSending();
    void setFailsWhenTheWriteFails();
    void setRefusesWhenAnotherSensorWouldTakeIt_data();
    void setRefusesWhenAnotherSensorWouldTakeIt();
    void setWithAllReachesEverySensor();
    void setEndsTheWriteOnASignal_data();
    void setEndsTheWriteOnASignal();
    void address_data();
    void address();
    void addressOfCollidingSensors();
};

void tst_CliSettings::setWritesAndReadsBack_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("readBack");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("shown");

    QTest::newRow("temperature offset") << QStringList{} << QStringList{"set", "temperature-offset", "1.5"}
                                        << withCrcHex("FA060A000096") << withCrcHex("FA0300000005")
                                        << "temperature_offset_c"
                                        << "1.50";
    QTest::newRow("negative humidity offset, no --")
        << QStringList{} << QStringList{"set", "humidity-offset", "-1.2"} << withCrcHex("FA060A02FF88")
        << withCrcHex("FA0300000005") << "humidity_offset_rh"
        << "-1.20";
    QTest::newRow("read back from the station given")
        << QStringList{"--station", "7"} << QStringList{"set", "temperature-offset", "-10", "-s", "7"}
        << withCrcHex("FA060A00FC18") << withCrcHex("070300000005") << "temperature_offset_c"
        << "-10.00";
    QTest::newRow("baud, read back at the new rate")
        << QStringList{} << QStringList{"set", "baud", "4800"} << withCrcHex("FA060A0412C0")
        << withCrcHex("FA0300000005") << "baud"
        << "4800";
}

void tst_CliSettings::setWritesAndReadsBack()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QStringList, arguments);
    QFETCH(QString, written);
    QFETCH(QString, readBack);
    QFETCH(QString, key);
    QFETCH(QString, shown);
    SimProcess sim(simArguments);

    const CliRun run = runCli(arguments + QStringList{"-p", sim.devicePath(), "-f", "json"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    // Who answers station 250 is asked before anything is written through it.
    QCOMPARE(sim.lines("RX"), (QStringList{withCrcHex("FA0300000001"), written, readBack}));
    // The record is the reading taken for the read-back.
    QCOMPARE(run.outLines().size(), 1);
    const QJsonObject record = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(record["status"].toString(), "ok");
    QCOMPARE(record["station"].toInt(), simArguments.isEmpty() ? 1 : 7);
    QVERIFY2(run.out.contains(QStringLiteral("\"%1\":%2,").arg(key, shown)), qPrintable(run.out));

    // The sensor keeps the setting: a later read sees it too.
    const QString baud = key == QLatin1String("baud") ? shown : QStringLiteral("9600");
    const CliRun later
        = runCli({"read", "-p", sim.devicePath(), "-b", baud, "-s", simArguments.isEmpty() ? "1" : "7", "-f", "json"});
    QVERIFY2(later.exitCode == 0, qPrintable(later.err));
    QVERIFY2(later.out.contains(QStringLiteral("\"%1\":%2,").arg(key, shown)), qPrintable(later.out));
}

void tst_CliSettings::setFailsWhenTheValueReadBackDiffers()
{
    PtyPair pty;
    QProcess cli;
    cli.start(cliPath(), {"set", "temperature-offset", "1.5", "-p", pty.slavePath()});
    QCOMPARE(pty.receive(8), frameWithCrc("FA0300000001"));
    pty.send(frameWithCrc("0103020001"));
    const QByteArray write = frameWithCrc("FA060A000096");
    QCOMPARE(pty.receive(8), write);
    pty.send(frameWithCrc("01060A000096")); // the sensor confirms from its own station
    QCOMPARE(pty.receive(8), frameWithCrc("FA0300000005"));
    // ... but shows the old offset when asked.
    pty.send(frameWithCrc("01030A09C41770000000002580"));
    QVERIFY(cli.waitForFinished(5000));
    QCOMPARE(cli.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
        QStringLiteral("station 1  25.00 °C  60.00 %RH  offsets +0.00 °C +0.00 %RH  9600 baud\n"));
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()),
        QStringLiteral("kv9240b: temperature-offset reads back as 0.00, not 1.50\n"));
}

void tst_CliSettings::setRefusesBeforeSending()
{
    SimProcess sim;
    const CliRun run = runCli({"set", "humidity-offset", "-10.5", "-p", sim.devicePath()});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.errLines().first(), QStringLiteral("kv9240b: humidity-offset must lie between -10.00 and 10.00"));
    QTest::qWait(100);
    QVERIFY(sim.lines("RX").isEmpty());
}

void tst_CliSettings::setFailsWhenTheWriteFails()
{
    SimProcess sim({"--fault", "exception:1"});
    const CliRun run = runCli({"set", "baud", "19200", "-p", sim.devicePath(), "--all"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(
        run.err, QStringLiteral("kv9240b: writing baud through station 250: exception 04 (server device failure)\n"));
    QCOMPARE(sim.lines("RX").size(), 1); // nothing is read back after a refused write
}

void tst_CliSettings::setRefusesWhenAnotherSensorWouldTakeIt_data()
{
    QTest::addColumn<QString>("stations");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("why");
    QTest::addColumn<int>("asked");
    QTest::newRow("several sensors, -s names one")
        << "1,2,7"
        << "no-reply:0"
        << "kv9240b: the answers to station 250 collide (bad-crc): several sensors are on the line, and a write "
           "through station 250 reaches every one of them. Nothing written: disconnect all but station 2, or give "
           "--all to set every sensor alike"
        << 3;
    QTest::newRow("one sensor, another station")
        << "1"
        << "no-reply:0"
        << "kv9240b: station 250 is answered by station 1, not by station 2: a write through station 250 would set "
           "station 1. Nothing written: connect station 2 alone, or give -s 1"
        << 1;
    QTest::newRow("station 250 silent") << "2"
                                        << "no-reply:1"
                                        << "kv9240b: station 250: no reply (timeout 40 ms). Nothing written" << 1;
}

void tst_CliSettings::setRefusesWhenAnotherSensorWouldTakeIt()
{
    QFETCH(QString, stations);
    QFETCH(QString, fault);
    QFETCH(int, asked);
    SimProcess sim({"--station", stations, "--fault", fault});
    const CliRun run = runCli({"set", "humidity-offset", "-3", "-s", "2", "-t", "40", "-p", sim.devicePath()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QTEST(run.err.trimmed(), "why");
    // Station 250 asked (a garbled answer twice more), nothing written.
    QCOMPARE(sim.lines("RX"), QStringList(asked, withCrcHex("FA0300000001")));
}

void tst_CliSettings::setWithAllReachesEverySensor()
{
    SimProcess sim({"--station", "1,2,7"});
    const CliRun run = runCli({"set", "humidity-offset", "-3", "-s", "2", "--all", "-p", sim.devicePath()});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errLines(),
        (QStringList{"kv9240b: writing humidity-offset -3.00 through station 250: bad-crc: several sensors answered: "
                     "the setting was probably written to all of them",
            "kv9240b: humidity-offset -3.00 written through station 250: every sensor on the line took the setting"}));
    QVERIFY2(run.out.startsWith("station 2 ") && run.out.contains("offsets +0.00 °C -3.00 %RH"), qPrintable(run.out));
    QCOMPARE(sim.lines("RX"), (QStringList{withCrcHex("FA060A02FED4"), withCrcHex("020300000005")}));
    const CliRun seven = runCli({"read", "-s", "7", "-p", sim.devicePath()});
    QVERIFY2(seven.out.contains("-3.00 %RH"), qPrintable(seven.out));
}

void tst_CliSettings::setEndsTheWriteOnASignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Ctrl-C") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

void tst_CliSettings::setEndsTheWriteOnASignal()
{
    QFETCH(int, signalNumber);
    PtyPair pty;
    QProcess cli;
    cli.start(cliPath(), {"set", "temperature-offset", "1.5", "-p", pty.slavePath()});
    QCOMPARE(pty.receive(8), frameWithCrc("FA0300000001"));
    pty.send(frameWithCrc("0103020001"));
    QCOMPARE(pty.receive(8), frameWithCrc("FA060A000096"));
    // The write is on the line when the signal comes; the sensor takes it and confirms.
    ::kill(static_cast<pid_t>(cli.processId()), signalNumber);
    pty.send(frameWithCrc("01060A000096"));
    QVERIFY(cli.waitForFinished(5000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QTEST(cli.exitCode(), "exitCode");
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()),
        QStringLiteral("kv9240b: stopped after writing temperature-offset 1.50: not read back\n"));
    QCOMPARE(pty.drain(), QByteArray());
}

void tst_CliSettings::address_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("text") << "text" << QStringList{"station 7"};
    QTest::newRow("csv") << "csv" << QStringList{"station", "7"};
    QTest::newRow("json") << "json" << QStringList{"{\"station\":7}"};
}

void tst_CliSettings::address()
{
    QFETCH(QString, format);
    QFETCH(QStringList, lines);
    SimProcess sim({"--station", "7"});
    const CliRun run = runCli({"address", "-p", sim.devicePath(), "-f", format});
    QCOMPARE(run.exitCode, 0);
    QTEST(run.outLines(), "lines");
    QCOMPARE(sim.lines("RX"), QStringList{"FA 03 00 00 00 01 91 81"});
    if (format == QLatin1String("json"))
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).object()["station"].toInt(), 7);
}

void tst_CliSettings::addressOfCollidingSensors()
{
    // What several sensors answering 250 at once look like: a garbled frame.
    SimProcess sim({"--fault", "bad-crc:1"});
    const CliRun run = runCli({"address", "-p", sim.devicePath()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err,
        QStringLiteral("kv9240b: station 250: bad CRC; several sensors on the line answer 250 at once? "
                       "'kv9240b find' asks them one by one\n"));
}

QTEST_GUILESS_MAIN(tst_CliSettings)
#include "tst_cli_settings.moc"

// kv9240b read through an Ethernet gateway, run as a process against the
// simulated sensors behind one (transparent: --tcp, Modbus TCP: --modbus-tcp),
// and against other programs speaking Modbus TCP.
#include "cli_process.h"
#include "sim_process.h"

#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace kv::test;

namespace {

const QStringList Sensors{"--station", "5,6", "--temperature", "-3.5", "--humidity", "41.25"};

// The values of each CSV record after the header, without the time it was read at.
QStringList valuesOf(const CliRun& run)
{
    QStringList values;
    for (const QString& line : run.outLines().mid(1))
        values << line.section(QLatin1Char(','), 1);
    return values;
}

QString gatewayOf(const SimProcess& sim, const QString& scheme)
{
    return scheme + QStringLiteral("://") + sim.devicePath();
}

// A port on 127.0.0.1 nothing listens on: taken, then given back.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Whether something listens on the port, found without connecting to it (a
// connection would be the one client a peer serves).
bool listening(quint16 port)
{
    QTcpServer probe;
    return !probe.listen(QHostAddress::LocalHost, port);
}

// A program the test needs beside ours, started and ended with the test.
struct Peer {
    QProcess process;
    ~Peer()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }
};

} // namespace

class tst_CliGateway : public QObject {
    Q_OBJECT

private slots:
    void readsAsOnTheSerialLine();
    void verdicts_data();
    void verdicts();
    void refusedConnection();
    void addressAndSetEndWhenTheGatewayCloses();
    void oneClientAtATime();
    void findsTheSensorBehindAGateway();
    void mbpollReadsTheSimulator();
    void throughSocatToThePseudoTerminal();
    void fromAModbusTcpServer();
};

void tst_CliGateway::readsAsOnTheSerialLine()
{
    SimProcess serial(Sensors);
    SimProcess transparent(Sensors + QStringList{"--tcp", "0"});
    SimProcess modbusTcp(Sensors + QStringList{"--modbus-tcp", "0"});
    QVERIFY(serial.isRunning() && transparent.isRunning() && modbusTcp.isRunning());

    const QStringList read{"read", "-s", "5,6", "-f", "csv"};
    const CliRun overPty = runCli(read + QStringList{"-p", serial.devicePath()});
    const CliRun overTcp = runCli(read + QStringList{"-p", gatewayOf(transparent, "tcp")});
    const CliRun overModbusTcp = runCli(read + QStringList{"-p", gatewayOf(modbusTcp, "modbus-tcp")});
    QCOMPARE(overPty.exitCode, 0);
    QCOMPARE(valuesOf(overPty), QStringList({"5,-3.50,41.25,0.00,0.00,9600,ok", "6,-2.50,43.25,0.00,0.00,9600,ok"}));
    QCOMPARE(overTcp.exitCode, 0);
    QCOMPARE(valuesOf(overTcp), valuesOf(overPty));
    QCOMPARE(overModbusTcp.exitCode, 0);
    QCOMPARE(valuesOf(overModbusTcp), valuesOf(overPty));
    // The Modbus TCP gateway saw the requests as RTU frames behind it.
    QVERIFY(modbusTcp.waitForLines("RX", 2));
    QCOMPARE(modbusTcp.lines("RX").first(), QStringLiteral("05 03 00 00 00 05 84 4D"));
}

void tst_CliGateway::verdicts_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("another transaction id") << "modbus-tcp"
                                            << "wrong-transaction:1" << 1 << "unexpected" << QString();
    QTest::newRow("reply spoilt behind the gateway") << "modbus-tcp"
                                                     << "bad-crc:1" << 1 << "exception-0B" << QString();
    QTest::newRow("another station through Modbus TCP") << "modbus-tcp"
                                                        << "wrong-station:1" << 1 << "unexpected" << QString();
    QTest::newRow("transparent: closed mid-reply") << "tcp"
                                                   << "disconnect:1" << 3 << "port-lost"
                                                   << "kv9240b: %1: closed by the gateway";
    QTest::newRow("Modbus TCP: closed mid-reply") << "modbus-tcp"
                                                  << "disconnect:1" << 3 << "port-lost"
                                                  << "kv9240b: %1: closed by the gateway";
}

void tst_CliGateway::verdicts()
{
    QFETCH(QString, scheme);
    QFETCH(QString, fault);
    SimProcess sim(
        Sensors + QStringList{scheme == "tcp" ? "--tcp" : "--modbus-tcp", "0", "--fault", fault + ",times=1"});
    QVERIFY(sim.isRunning());

    const CliRun run = runCli({"read", "-p", gatewayOf(sim, scheme), "-s", "5", "-f", "csv"});
    QVERIFY(run.finished);
    QTEST(run.exitCode, "exitCode");
    QCOMPARE(valuesOf(run).size(), 1);
    QTEST(valuesOf(run).first().section(QLatin1Char(','), -1), "status");
    QFETCH(QString, complaint);
    if (!complaint.isEmpty())
        QCOMPARE(run.errLines(), QStringList{complaint.arg(sim.devicePath())});
    QVERIFY(sim.waitForLines("FAULT", 1));
}

void tst_CliGateway::refusedConnection()
{
    const quint16 port = closedPort();
    for (const QString& scheme : {QStringLiteral("tcp"), QStringLiteral("modbus-tcp")}) {
        const CliRun run = runCli({"read", "-p", QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port)});
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(run.errLines(),
            QStringList{QStringLiteral("kv9240b: cannot connect to 127.0.0.1:%1: connection refused").arg(port)});
        QVERIFY(run.out.isEmpty());
    }
}

void tst_CliGateway::addressAndSetEndWhenTheGatewayCloses()
{
    SimProcess sim(Sensors + QStringList{"--tcp", "0", "--fault", "disconnect:1"});
    QVERIFY(sim.isRunning());
    const QString closed = QStringLiteral("kv9240b: %1: closed by the gateway").arg(sim.devicePath());

    const CliRun address = runCli({"address", "-p", gatewayOf(sim, "tcp")});
    QCOMPARE(address.exitCode, 3);
    QCOMPARE(address.errLines(), QStringList{closed});
    // Written through 250 without asking first: the write's own answer is cut off.
    const CliRun set = runCli({"set", "temperature-offset", "1", "--all", "-p", gatewayOf(sim, "tcp")});
    QCOMPARE(set.exitCode, 3);
    QCOMPARE(set.errLines(), QStringList({closed, "kv9240b: whether the sensor took the write is not known"}));
}

void tst_CliGateway::oneClientAtATime()
{
    SimProcess sim(Sensors + QStringList{"--modbus-tcp", "0"});
    QVERIFY(sim.isRunning());
    const quint16 port = sim.devicePath().section(QLatin1Char(':'), -1).toUShort();
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(first.waitForConnected(3000));
    QVERIFY(sim.waitForLines("NOTE", 2)); // the start-up note, then the connection

    const CliRun run = runCli({"read", "-p", gatewayOf(sim, "modbus-tcp"), "-s", "5"});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.errLines(), QStringList{QStringLiteral("kv9240b: %1: closed by the gateway").arg(sim.devicePath())});
    QVERIFY(sim.waitForLines("NOTE", 3));
    QVERIFY2(sim.lines("NOTE").last().startsWith("refused 127.0.0.1:"), qPrintable(sim.lines("NOTE").last()));
    QVERIFY(first.state() == QAbstractSocket::ConnectedState);
}

void tst_CliGateway::mbpollReadsTheSimulator()
{
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty())
        QSKIP("mbpoll is not installed (scripts/lib/common.sh lists it)");
    SimProcess sim(Sensors + QStringList{"--modbus-tcp", "0"});
    QVERIFY(sim.isRunning());
    QProcess process;
    // Registers 1 and 2 in mbpoll's counting from 1: temperature and humidity in hundredths.
    process.start(mbpoll,
        {"-m", "tcp", "-p", sim.devicePath().section(QLatin1Char(':'), -1), "-a", "5", "-r", "1", "-c", "2", "-1",
            "127.0.0.1"});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("(-350)")) && out.contains(QStringLiteral("[2]: \t4125")), qPrintable(out));
}

void tst_CliGateway::findsTheSensorBehindAGateway()
{
    SimProcess sim({"--station", "9", "--tcp", "0"});
    QVERIFY(sim.isRunning());
    // No rates to try: the gateway runs the serial line at its own.
    const CliRun run = runCli({"find", "-p", gatewayOf(sim, "tcp"), "-f", "csv"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.outLines().last(), sim.devicePath() + QStringLiteral(",9600,9,25.00,60.00,ok"));
}

// A transparent gateway made of socat: TCP on one side, the simulator's
// pseudo-terminal on the other.
void tst_CliGateway::throughSocatToThePseudoTerminal()
{
    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty())
        QSKIP("socat is not installed (scripts/lib/common.sh lists it)");
    SimProcess sim(Sensors);
    QVERIFY(sim.isRunning());
    const quint16 port = closedPort();
    Peer bridge;
    bridge.process.start(socat,
        {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(port),
            QStringLiteral("FILE:%1,raw,echo=0").arg(sim.devicePath())});
    QTRY_VERIFY_WITH_TIMEOUT(listening(port), 5000);

    const CliRun run = runCli({"read", "-p", QStringLiteral("tcp://127.0.0.1:%1").arg(port), "-s", "5", "-f", "csv"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(valuesOf(run), QStringList{"5,-3.50,41.25,0.00,0.00,9600,ok"});
}

void tst_CliGateway::fromAModbusTcpServer()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    QProcess check;
    check.start(python, {"-c", "import pymodbus"});
    if (!check.waitForFinished(10000) || check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0)
        QSKIP("python3-pymodbus is not installed (scripts/lib/common.sh lists it)");
    const quint16 port = closedPort();
    Peer server;
    // Station 5 at -3.50 °C and 41.25 %RH, rate register 9600.
    server.process.start(python,
        {QStringLiteral(KV9240B_TEST_SOURCE_DIR "/cli/modbus_tcp_server.py"), QString::number(port), "5", "-350",
            "4125", "0", "0", "9600"});
    QTRY_VERIFY_WITH_TIMEOUT(listening(port), 10000);

    // Station 6 is not there; the server answers station 5 at once, in one burst.
    const CliRun run
        = runCli({"read", "-p", QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(port), "-s", "6,5", "-f", "csv"});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(valuesOf(run), QStringList({"6,,,,,,no-reply", "5,-3.50,41.25,0.00,0.00,9600,ok"}));
}

QTEST_GUILESS_MAIN(tst_CliGateway)
#include "tst_cli_gateway.moc"

// kv9240b read through an Ethernet gateway, run as a process against the
// simulated sensors behind one (transparent: --tcp, Modbus TCP: --modbus-tcp),
// and against other programs speaking Modbus TCP.
#include "cli_process.h"
#include "frames.h"
#include "sim_process.h"

#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace kv::test;

namespace {

const QStringList Sensors{"--station", "5,6", "--temperature", "-3.5", "--humidity", "41.25"};
const QString Station5 = QStringLiteral("5,-3.50,41.25,0.00,0.00,9600,ok");
const QString Station6 = QStringLiteral("6,-2.50,43.25,0.00,0.00,9600,ok");

// The values of each CSV record after the header, without the time it was read at.
QStringList valuesOf(const CliRun& run)
{
    QStringList values;
    for (const QString& line : run.outLines().mid(1))
        values << line.section(QLatin1Char(','), 1);
    return values;
}

// The verdicts -v gives the frames received, in order, without their details:
// "ok", "late", "no-reply", "unsolicited".
QStringList receivedVerdicts(const CliRun& run)
{
    QStringList verdicts;
    for (const QString& line : run.errLines()) {
        if (line.contains(QLatin1String(" RX ")))
            verdicts << line.section(QStringLiteral("  "), -1).section(QStringLiteral(" ("), 0, 0);
    }
    return verdicts;
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

QString simOption(const QString& scheme)
{
    return scheme == QLatin1String("tcp") ? QStringLiteral("--tcp") : QStringLiteral("--modbus-tcp");
}

// The answer of station 5 or 6 (values as Sensors gives them) to a read
// request as a gateway of the scheme carries it, transaction id included.
QByteArray answerTo(const QByteArray& request, const QString& scheme)
{
    const bool mbap = scheme == QLatin1String("modbus-tcp");
    const int station = static_cast<quint8>(request.at(mbap ? 6 : 0));
    const QByteArray rtu
        = station == 5 ? readReply({0xFEA2, 4125, 0, 0, 9600}, 5) : readReply({0xFF06, 4325, 0, 0, 9600}, 6);
    if (!mbap)
        return rtu;
    const QByteArray unitAndPdu = rtu.chopped(2);
    return request.left(2) + bytes({0, 0, 0, static_cast<int>(unitAndPdu.size())}) + unitAndPdu;
}

// Whether the system's host name lookups stay on this machine: every
// nameserver of /etc/resolv.conf (none: 127.0.0.1) on the loopback.
bool resolverIsLocal(QString& elsewhere)
{
    QFile conf(QStringLiteral("/etc/resolv.conf"));
    if (!conf.open(QIODevice::ReadOnly | QIODevice::Text))
        return true;
    for (const QByteArray& line : conf.readAll().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 2 && words[0] == "nameserver"
            && !QHostAddress(QString::fromLatin1(words[1])).isLoopback()) {
            elsewhere = QString::fromLatin1(words[1]);
            return false;
        }
    }
    return true;
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
    void hostNameNotFound();
    void replySplitAcrossSegments_data();
    void replySplitAcrossSegments();
    void twoRepliesInOneSegment_data();
    void twoRepliesInOneSegment();
    void slowGateway_data();
    void slowGateway();
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

// A name under the reserved .invalid domain is found nowhere. "No route to
// host" cannot be provoked on 127.0.0.1 and is not tried here.
void tst_CliGateway::hostNameNotFound()
{
    QString elsewhere;
    if (!resolverIsLocal(elsewhere))
        QSKIP(qPrintable(QStringLiteral("the name lookup would leave this machine for nameserver %1").arg(elsewhere)));
    const QStringList gateways{"tcp://no-such-gateway.invalid:502", "modbus-tcp://no-such-gateway.invalid"};
    for (const QString& gateway : gateways) {
        const CliRun run = runCli({"read", "-p", gateway});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(run.errLines(), QStringList{"kv9240b: cannot connect to no-such-gateway.invalid:502: name not found"});
        QVERIFY(run.out.isEmpty());
    }
}

// The reply comes in three TCP segments, 20 ms apart.
void tst_CliGateway::replySplitAcrossSegments_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("transparent") << "tcp";
    QTest::newRow("Modbus TCP") << "modbus-tcp";
}

void tst_CliGateway::replySplitAcrossSegments()
{
    QFETCH(QString, scheme);
    SimProcess sim(Sensors + QStringList{simOption(scheme), "0", "--fault", "split:1"});
    QVERIFY(sim.isRunning());
    const CliRun run = runCli({"read", "-p", gatewayOf(sim, scheme), "-s", "5,6", "-f", "csv"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(valuesOf(run), QStringList({Station5, Station6}));
    QCOMPARE(sim.lines("FAULT"), QStringList({"split", "split"}));
}

// A gateway played by the test answers `read -s 5,6` as scripted: after
// request i it sends, in one write, the answers to the requests listed.
// Each request is credited with its own answer only.
void tst_CliGateway::twoRepliesInOneSegment_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QList<QList<int>>>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("received");

    // The gateway repeats an answer it had already sent, as one that retried on its serial side.
    const QList<QList<int>> repeated{{0, 0}, {1}};
    // The answer to 5 held back until the answer to 6, 5 given up by then.
    const QList<QList<int>> heldBack{{}, {0, 1}};
    const QStringList lateFive{"5,,,,,,no-reply", Station6};
    const QStringList both{Station5, Station6};
    // The repeat answers nothing open: no reading, "unsolicited" in the log.
    const QStringList twice{"ok", "unsolicited", "ok"};
    const QStringList late{"late", "ok"};
    QTest::newRow("transparent: an answer twice") << "tcp" << repeated << 0 << both << twice;
    QTest::newRow("Modbus TCP: an answer twice") << "modbus-tcp" << repeated << 0 << both << twice;
    QTest::newRow("transparent: a late answer ahead of the next") << "tcp" << heldBack << 1 << lateFive << late;
    QTest::newRow("Modbus TCP: a late answer ahead of the next") << "modbus-tcp" << heldBack << 1 << lateFive << late;
}

void tst_CliGateway::twoRepliesInOneSegment()
{
    QFETCH(QString, scheme);
    QFETCH(QList<QList<int>>, script);
    QTcpServer gateway;
    QVERIFY(gateway.listen(QHostAddress::LocalHost, 0));
    QProcess cli;
    cli.start(cliPath(),
        {"read", "-p", QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(gateway.serverPort()), "-s", "5,6", "-f",
            "csv", "-v"});
    // The command line is another process: the gateway's side waits in place.
    QVERIFY(gateway.waitForNewConnection(5000));
    QTcpSocket* socket = gateway.nextPendingConnection();
    const qsizetype requestLength = scheme == QLatin1String("tcp") ? 8 : 12;
    QList<QByteArray> requests;
    for (const QList<int>& answers : std::as_const(script)) {
        QByteArray request;
        while (request.size() < requestLength && (socket->bytesAvailable() > 0 || socket->waitForReadyRead(5000)))
            request += socket->read(requestLength - request.size());
        QCOMPARE(request.size(), requestLength);
        requests << request;
        QByteArray burst;
        for (const int answered : answers)
            burst += answerTo(requests.at(answered), scheme);
        if (!burst.isEmpty()) {
            socket->write(burst);
            QVERIFY(socket->waitForBytesWritten(3000));
        }
    }
    QVERIFY(cli.waitForFinished(10000));
    CliRun run;
    run.exitCode = cli.exitCode();
    run.out = QString::fromUtf8(cli.readAllStandardOutput());
    run.err = QString::fromUtf8(cli.readAllStandardError());
    QTEST(run.exitCode, "exitCode");
    QTEST(valuesOf(run), "values");
    QTEST(receivedVerdicts(run), "received");
}

// The gateway answers station 5 after 500 ms. The default timeout (the
// exchange on the wire, 100 ms and 200 ms for the network: 329 ms) and
// --timeout 100 (300 ms) give up first; the request to 6 that follows goes
// to a gateway still busy with 5, which drops it, and the late answer to 5
// is not 6's. --timeout 700 waits for it.
void tst_CliGateway::slowGateway_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("received");

    const QStringList readBoth{"read", "-s", "5,6"};
    const QStringList neither{"5,,,,,,no-reply", "6,,,,,,no-reply"};
    const QStringList both{Station5, Station6};
    // The answer to 5 is logged as the late one it is; 6 gets none.
    const QStringList late{"late", "no-reply"};
    const QStringList ok{"ok", "ok"};
    QTest::newRow("transparent, default timeout") << "tcp" << readBoth << 1 << neither << late;
    QTest::newRow("Modbus TCP, --timeout 100")
        << "modbus-tcp" << readBoth + QStringList{"-t", "100"} << 1 << neither << late;
    QTest::newRow("transparent, --timeout 700") << "tcp" << readBoth + QStringList{"-t", "700"} << 0 << both << ok;
    QTest::newRow("Modbus TCP, --timeout 700")
        << "modbus-tcp" << readBoth + QStringList{"-t", "700"} << 0 << both << ok;
    // The next poll of 5 goes out before the late answer to the last one comes.
    QTest::newRow("Modbus TCP, watch polling faster than the answers")
        << "modbus-tcp" << QStringList{"watch", "-s", "5", "-i", "300", "-n", "2", "-t", "100"} << 1
        << QStringList({"5,,,,,,no-reply", "5,,,,,,no-reply"}) << late;
}

void tst_CliGateway::slowGateway()
{
    QFETCH(QString, scheme);
    QFETCH(QStringList, arguments);
    SimProcess sim(Sensors + QStringList{simOption(scheme), "0", "--fault", "delay:1:500,to=5"});
    QVERIFY(sim.isRunning());
    const CliRun run = runCli(arguments + QStringList{"-p", gatewayOf(sim, scheme), "-f", "csv", "-v"});
    QTEST(run.exitCode, "exitCode");
    QTEST(valuesOf(run), "values");
    QTEST(receivedVerdicts(run), "received");
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

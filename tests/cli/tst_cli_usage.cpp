// kv9240b run as a process with a wrong command line or a port it cannot
// open: the exit status a script tests, and the line a person reads.
#include "cli_process.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

using namespace kv::test;

namespace {

const QString Hint = QStringLiteral("Try 'kv9240b --help' for more information.");

} // namespace

class tst_CliUsage : public QObject {
    Q_OBJECT

private slots:
    void usageErrors_data();
    void usageErrors();
    void helpIsComplete();
    void versionNeedsNoPort();
    void portCannotBeOpened_data();
    void portCannotBeOpened();
    void busyPort();
    void portWithoutPermission();
};

void tst_CliUsage::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    QTest::newRow("no command") << QStringList{} << "no command given: read, watch, set, address, find or serve";
    QTest::newRow("unknown option") << QStringList{"read", "--sped", "9600"} << "unknown option --sped";
    QTest::newRow("baud") << QStringList{"watch", "-b", "115200"}
                          << "--baud must be 2400, 4800, 9600 or 19200, not '115200'";
    QTest::newRow("period too short for the rate") << QStringList{"watch", "-b", "4800", "-i", "50"}
                                                   << "--interval 50 is shorter than polling one station on the wire "
                                                      "at 4800 baud takes: the shortest period is 56 ms";
    QTest::newRow("offset out of range") << QStringList{"set", "temperature-offset", "-11"}
                                         << "temperature-offset must lie between -10.00 and 10.00";
}

void tst_CliUsage::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    // COM1 leads nowhere: a usage error is found before any port is opened.
    qputenv("KV9240B_COM1", "/dev/kv9240b-no-such-device");
    const CliRun run = runCli(arguments);
    qunsetenv("KV9240B_COM1");
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.errLines(), (QStringList{QStringLiteral("kv9240b: ") + problem, Hint}));
}

void tst_CliUsage::helpIsComplete()
{
    qputenv("KV9240B_COM1", "/dev/kv9240b-no-such-device");
    const CliRun run = runCli({"--help"});
    qunsetenv("KV9240B_COM1");
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QVERIFY(run.out.startsWith("Usage: kv9240b [options] COMMAND"));
    const QStringList mentioned{"read", "watch", "set NAME VALUE", "address", "find", "-p, --port PORT",
        "-b, --baud RATE", "-s, --station LIST", "-t, --timeout MS", "-f, --format FORMAT", "-i, --interval MS",
        "-n, --count N", "-o, --output FILE", "-v, --verbose", "-h, --help", "--version", "--ports LIST",
        "--bauds LIST", "--scan", "temperature-offset", "humidity-offset", "baud", "csv", "json", "influx", "no-reply",
        "exception-NN", "port-lost", "0  every reading", "1  a reading failed", "2  the command line is wrong",
        "3  the port cannot be opened", "KV9240B_COM<n>"};
    QStringList missing;
    for (const QString& word : mentioned) {
        if (!run.out.contains(word))
            missing << word;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    for (const QString& line : run.outLines())
        QVERIFY2(line.size() <= 80, qPrintable(line));
}

void tst_CliUsage::versionNeedsNoPort()
{
    qputenv("KV9240B_COM1", "/dev/kv9240b-no-such-device");
    const CliRun run = runCli({"--version"});
    qunsetenv("KV9240B_COM1");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("kv9240b " KV9240B_VERSION "\n"));
}

void tst_CliUsage::portCannotBeOpened_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    QTest::newRow("read, missing device")
        << QStringList{"read", "-p", "/dev/kv9240b-no-such-device"}
        << "kv9240b: /dev/kv9240b-no-such-device does not exist; is the RS-485 adapter plugged in?";
    QTest::newRow("watch, port number with no device")
        << QStringList{"watch", "-p", "COM201"}
        << "kv9240b: COM201: no serial device stands behind this port number; is the RS-485 adapter plugged in? "
           "(KV9240B_COM<n> points a port number at a device)";
    QTest::newRow("set, wired port number") << QStringList{"set", "baud", "9600", "-p",
        "COM202"} << "kv9240b: COM202 (/dev/kv9240b-gone) does not exist; is the RS-485 adapter plugged in?";
    QTest::newRow("address")
        << QStringList{"address", "-p", "/dev/kv9240b-no-such-device"}
        << "kv9240b: /dev/kv9240b-no-such-device does not exist; is the RS-485 adapter plugged in?";
    QTest::newRow("find, every port named fails") << QStringList{"find", "--ports",
        "/dev/kv9240b-no-such-device,COM201"} << "kv9240b: COM201: no serial device stands behind this port number";
}

void tst_CliUsage::portCannotBeOpened()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    PortWiring wired(202, QStringLiteral("/dev/kv9240b-gone"));
    const CliRun run = runCli(arguments);
    QCOMPARE(run.exitCode, 3);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.errLines().contains(problem), qPrintable(run.err));
}

void tst_CliUsage::busyPort()
{
    SimProcess sim;
    QSerialPort other(sim.devicePath());
    QVERIFY(other.open(QIODevice::ReadWrite)); // another program has the line
    const CliRun run = runCli({"read", "-p", sim.devicePath()});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(
        run.err.startsWith(QStringLiteral("kv9240b: %1 is busy: another program has it open").arg(sim.devicePath())),
        qPrintable(run.err));
    other.close();
    QCOMPARE(runCli({"read", "-p", sim.devicePath()}).exitCode, 0);
}

void tst_CliUsage::portWithoutPermission()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty())
        QSKIP("needs root and setpriv to run the program as a user without access to the line");
    SimProcess sim; // its line belongs to root alone
    QProcess process;
    process.start(
        setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", cliPath(), "read", "-p", sim.devicePath()});
    QVERIFY(process.waitForFinished(5000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (process.exitCode() == 126 || process.exitCode() == 127)
        QSKIP("the program cannot be run as another user here");
    QCOMPARE(process.exitCode(), 3);
    QCOMPARE(err,
        QStringLiteral("kv9240b: no permission to use %1: serial devices usually belong to the dialout "
                       "group; run 'sudo usermod -aG dialout $USER' and log in again\n")
            .arg(sim.devicePath()));
}

QTEST_GUILESS_MAIN(tst_CliUsage)
#include "tst_cli_usage.moc"

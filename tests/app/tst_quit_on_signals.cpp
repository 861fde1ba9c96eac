#include "pty_pair.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSerialPort>
#include <QTest>

#include <csignal>

using kv::test::PtyPair;

namespace {

// Where the serial port's lock for this device lies once the tool has it:
// "LCK.." and the device's name under /dev, in one of the usual lock folders.
QString lockFileOf(const QString& devicePath)
{
    QString name = devicePath;
    name.remove(QRegularExpression(QStringLiteral("^/dev/"))).replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder :
        {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp"}) {
        const QString path = QDir(QString::fromLatin1(folder)).filePath(QStringLiteral("LCK..") + name);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

} // namespace

class tst_QuitOnSignals : public QObject {
    Q_OBJECT

private slots:
    void signalClosesThePortAndDropsItsLock_data();
    void signalClosesThePortAndDropsItsLock();
    void signalWhileTheStartUpMessageIsShown();
};

void tst_QuitOnSignals::signalClosesThePortAndDropsItsLock_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void tst_QuitOnSignals::signalClosesThePortAndDropsItsLock()
{
    QFETCH(int, signal);
    PtyPair line;
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=false"));
    environment.insert(QStringLiteral("KV9240B_COM1"), line.slavePath());
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(KV9240B_TOOL_PATH), QStringList());
    QVERIFY(tool.waitForStarted());

    // Started: the window holds COM1, and its lock.
    QString lock;
    QTRY_VERIFY_WITH_TIMEOUT(!(lock = lockFileOf(line.slavePath())).isEmpty(), 10000);
    QVERIFY(tool.state() == QProcess::Running);

    ::kill(static_cast<pid_t>(tool.processId()), signal);

    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(!QFileInfo::exists(lock), qPrintable(lock));
    QSerialPort again(line.slavePath());
    QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(again.errorString()));
}

void tst_QuitOnSignals::signalWhileTheStartUpMessageIsShown()
{
    // No port to open: start-up reports it in a message box and waits there.
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=false"));
    environment.insert(QStringLiteral("KV9240B_COM1"), QStringLiteral("/nonexistent/kv9240b-line"));
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(KV9240B_TOOL_PATH), QStringList());
    QVERIFY(tool.waitForStarted());
    QVERIFY(!tool.waitForFinished(1000));

    ::kill(static_cast<pid_t>(tool.processId()), SIGTERM);

    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_QuitOnSignals)
#include "tst_quit_on_signals.moc"

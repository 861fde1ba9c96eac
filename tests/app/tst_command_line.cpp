#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QProcess::ExitStatus exit = QProcess::CrashExit;
    QString out;
    QString err;
};

// The tool as help2man runs it: no display, and no platform to draw on. A
// window, or an application object that wants one, would fail right away.
Run runTool(const QStringList& arguments)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(KV9240B_TOOL_PATH), arguments);
    Run run;
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.status = tool.exitCode();
    run.exit = tool.exitStatus();
    run.out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(tool.readAllStandardError());
    return run;
}

} // namespace

class tst_CommandLine : public QObject {
    Q_OBJECT

private slots:
    void answeredWithoutAWindow_data();
    void answeredWithoutAWindow();
    void refused_data();
    void refused();
};

void tst_CommandLine::answeredWithoutAWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("shown"); // lines the output must hold
    const QStringList help{QStringLiteral("Usage: kv9240b-tool [options]"), QStringLiteral("-h, --help"),
        QStringLiteral("-v, --version"), QStringLiteral("--lang <zh|en>")};
    const QStringList version{QStringLiteral("kv9240b-tool " KV9240B_VERSION "\n")};
    QTest::newRow("--help") << QStringList{"--help"} << help;
    QTest::newRow("-h") << QStringList{"-h"} << help;
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("-v") << QStringList{"-v"} << version;
    QTest::newRow("help wins over what follows") << QStringList{"--help", "--version"} << help;
    QTest::newRow("help beside a language") << QStringList{"--lang", "en", "--help"} << help;
}

void tst_CommandLine::answeredWithoutAWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, shown);
    const Run run = runTool(arguments);
    QCOMPARE(run.exit, QProcess::NormalExit);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QString());
    for (const QString& line : shown)
        QVERIFY2(run.out.contains(line), qPrintable(run.out));
    // Options the toolkit reads itself are not advertised.
    QVERIFY(!run.out.contains(QStringLiteral("platform")));
}

void tst_CommandLine::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named"); // what the error points at
    QTest::newRow("unknown long option") << QStringList{"--frobnicate"} << "frobnicate";
    QTest::newRow("unknown short option") << QStringList{"-x"} << "x";
    QTest::newRow("argument") << QStringList{"COM3"} << "COM3";
    QTest::newRow("toolkit option without its value") << QStringList{"-platform"} << "platform";
    QTest::newRow("unknown beside help") << QStringList{"--help", "--bogus"} << "bogus";
    QTest::newRow("line break in an argument") << QStringList{"COM\n3"} << "COM\\x0a3";
    QTest::newRow("line break in an option") << QStringList{"--a\nb"} << "a\\x0ab";
    QTest::newRow("unknown language") << QStringList{"--lang", "fr"} << "'fr' for --lang";
    QTest::newRow("language in capitals") << QStringList{"--lang=EN"} << "'EN'";
    QTest::newRow("language without its name") << QStringList{"--lang"} << "lang";
    QTest::newRow("line break in a language") << QStringList{"--lang", "e\nn"} << "e\\x0an";
}

void tst_CommandLine::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const Run run = runTool(arguments);
    QCOMPARE(run.exit, QProcess::NormalExit);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.endsWith(QLatin1Char('\n')) && run.err.count(QLatin1Char('\n')) == 1, qPrintable(run.err));
    QVERIFY2(run.err.startsWith(QStringLiteral("kv9240b-tool: ")), qPrintable(run.err));
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_command_line.moc"

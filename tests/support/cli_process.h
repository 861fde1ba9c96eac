#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The command line run as a process, as a script runs it. Tests that use this
// define KV9240B_CLI_PATH (see tests/CMakeLists.txt).
namespace kv::test {

inline QString cliPath()
{
    return QStringLiteral(KV9240B_CLI_PATH);
}

struct CliRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;

    QStringList outLines() const { return lines(out); }
    QStringList errLines() const { return lines(err); }

    static QStringList lines(const QString& text)
    {
        QStringList all = text.split(QLatin1Char('\n'));
        if (!all.isEmpty() && all.last().isEmpty())
            all.removeLast();
        return all;
    }
};

// Runs kv9240b with the arguments to its end.
inline CliRun runCli(const QStringList& arguments, int timeoutMs = 15000, const QString& folder = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(cliPath(), arguments);
    CliRun run;
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace kv::test

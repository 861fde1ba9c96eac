#include "sim_process.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

namespace kv::test {

SimProcess::SimProcess(const QStringList& arguments)
{
    // The log goes to a file rather than a pipe, so that its lines do not wake
    // the process under test (benchmarks measure that process's CPU time).
    if (!m_logFile.open())
        return;
    m_process.setStandardOutputFile(m_logFile.fileName());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(
        QStringLiteral(KV9240B_SIM_PATH), QStringList{QStringLiteral("--seed"), QStringLiteral("7")} + arguments);
    if (!m_process.waitForStarted(5000))
        return;
    const QDeadlineTimer deadline(5000);
    while (m_log.isEmpty() && !deadline.hasExpired()) {
        readLog();
        if (m_log.isEmpty())
            QThread::msleep(5);
    }
    if (!m_log.isEmpty())
        m_devicePath = m_log.takeFirst().trimmed();
}

SimProcess::~SimProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

void SimProcess::readLog()
{
    m_partial += m_logFile.readAll();
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_log << QString::fromLocal8Bit(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
}

QList<SimProcess::Entry> SimProcess::entries(const QString& tag)
{
    readLog();
    QList<Entry> tagged;
    const QString marker = QLatin1Char(' ') + tag + QLatin1Char(' ');
    for (const QString& line : std::as_const(m_log)) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0)
            tagged.append({line.left(at).toDouble(), line.mid(at + marker.size())});
    }
    return tagged;
}

QStringList SimProcess::lines(const QString& tag)
{
    QStringList texts;
    for (const Entry& entry : entries(tag))
        texts << entry.text;
    return texts;
}

bool SimProcess::waitForLines(const QString& tag, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return lines(tag).size() >= count; }, timeoutMs);
}

} // namespace kv::test

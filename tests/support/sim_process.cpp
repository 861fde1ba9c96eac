#include "sim_process.h"

#include <QDeadlineTimer>
#include <QTest>

namespace kv::test {

SimProcess::SimProcess(const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral(KV9240B_SIM_PATH), QStringList{QStringLiteral("--seed"), QStringLiteral("7")} + arguments);
    if (!m_process.waitForStarted(5000))
        return;
    const QDeadlineTimer deadline(5000);
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(100);
    if (m_process.canReadLine())
        m_devicePath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
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
    m_partial += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_log << QString::fromLocal8Bit(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
}

QStringList SimProcess::lines(const QString& tag)
{
    readLog();
    QStringList tagged;
    const QString marker = QLatin1Char(' ') + tag + QLatin1Char(' ');
    for (const QString& line : std::as_const(m_log)) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0)
            tagged << line.mid(at + marker.size());
    }
    return tagged;
}

bool SimProcess::waitForLines(const QString& tag, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return lines(tag).size() >= count; }, timeoutMs);
}

} // namespace kv::test

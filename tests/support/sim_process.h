#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

namespace kv::test {

// The simulated sensor running as its own process on a pseudo-terminal, for
// tests that drive the real window against it.
class SimProcess {
public:
    explicit SimProcess(const QStringList& arguments = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool isRunning() const { return !m_devicePath.isEmpty(); }
    QString devicePath() const { return m_devicePath; }

    // Log lines with this tag ("TX", "RX", "FAULT", "NOTE") so far, text after the tag.
    QStringList lines(const QString& tag);
    // The same lines with the CLOCK_MONOTONIC time (seconds) each was stamped with.
    struct Entry {
        double seconds;
        QString text;
    };
    QList<Entry> entries(const QString& tag);
    // Waits until at least count lines with the tag have been logged.
    bool waitForLines(const QString& tag, int count, int timeoutMs = 3000);

private:
    void readLog();

    QTemporaryFile m_logFile;
    QProcess m_process;
    QString m_devicePath;
    QStringList m_log;
    QByteArray m_partial;
};

} // namespace kv::test

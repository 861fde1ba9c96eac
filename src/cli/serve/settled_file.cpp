#include "cli/serve/settled_file.h"

#include <QDateTime>
#include <QFileInfo>

namespace kv::cli {

SettledFile::SettledFile(QString path, QObject* parent)
    : QObject(parent)
    , m_path(std::move(path))
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &SettledFile::check);
}

void SettledFile::request()
{
    if (m_waiting)
        return; // settled() follows
    check();
}

void SettledFile::check()
{
    const QFileInfo file(m_path);
    // A missing file, or one dated ahead of the clock, is read as it is: reading says what is wrong with it.
    const qint64 age = file.exists() ? file.lastModified().msecsTo(QDateTime::currentDateTime()) : StillFor.count();
    if (age < 0 || age >= StillFor.count()) {
        m_waiting = false;
        emit settled();
        return;
    }
    if (!std::exchange(m_waiting, true))
        emit unsettled();
    m_wait.start(StillFor - std::chrono::milliseconds(age));
}

} // namespace kv::cli

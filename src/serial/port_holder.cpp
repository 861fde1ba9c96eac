#include "serial/port_holder.h"

#include <QFileInfo>
#include <QLockFile>
#include <QStringList>

namespace kv {

QString portHolder(const QString& devicePath)
{
    // Qt's serial port locks "/dev/pts/3" as LCK..pts_3 in the first of these
    // folders it may use, as the UUCP convention has it.
    static const QStringList folders{QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"), QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock")};
    QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString& folder : folders) {
        const QString path = folder + QStringLiteral("/LCK..") + name;
        if (!QFileInfo::exists(path))
            continue;
        qint64 process = 0;
        QString host;
        QString program;
        if (!QLockFile(path).getLockInfo(&process, &host, &program))
            return {};
        return program.isEmpty() ? QStringLiteral("process %1").arg(process)
                                 : QStringLiteral("%1, process %2").arg(program).arg(process);
    }
    return {};
}

} // namespace kv

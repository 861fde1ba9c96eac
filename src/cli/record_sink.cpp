#include "cli/record_sink.h"
#include "session/write_all.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::cli {

RecordSink::~RecordSink()
{
    if (m_ownsFd)
        ::close(m_fd);
}

bool RecordSink::open(const QString& path)
{
    m_path = path;
    if (path.isEmpty()) {
        m_fd = STDOUT_FILENO;
    } else {
        m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            m_error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_ownsFd = true;
    }
    // Standard output sent to a file with >> counts as appending too.
    struct stat status { };
    m_startsEmpty = ::fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0;
    return true;
}

RecordSink::Result RecordSink::writeLine(const QString& line)
{
    m_buffer.resize(0);
    m_buffer += line.toUtf8();
    m_buffer += '\n';
    if (writeAll(m_fd, m_buffer.constData(), m_buffer.size()))
        return Result::Written;
    if (errno == EPIPE)
        return Result::Closed;
    const QString where = m_path.isEmpty() ? QStringLiteral("standard output") : m_path;
    m_error = QStringLiteral("cannot write to %1: %2").arg(where, QString::fromLocal8Bit(std::strerror(errno)));
    return Result::Failed;
}

void writeToStandardError(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    writeAll(STDERR_FILENO, bytes.constData(), bytes.size());
}

} // namespace kv::cli

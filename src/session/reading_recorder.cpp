#include "session/reading_recorder.h"
#include "session/write_all.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

// Enough of a file's beginning to hold its first line, were it a record's.
constexpr qint64 FirstLineLimit = 4096;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray readAt(int fd, qint64 offset, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    const ssize_t read = ::pread(fd, bytes.data(), static_cast<size_t>(size), offset);
    bytes.resize(std::max<ssize_t>(read, 0));
    return bytes;
}

// Hands what was written to the disk itself, so it outlives a power cut.
// Files that cannot be synced (a pipe, /dev/null) count as written.
bool syncToDisk(int fd)
{
    return ::fdatasync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

// A new file's name lives in its folder: sync that too, or a power cut may
// leave no file at all.
void syncFolder(const QByteArray& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
}

// Where the last whole line of the file ends, searching back from `size`.
qint64 endOfLastLine(int fd, qint64 size)
{
    constexpr qint64 Step = 4096;
    for (qint64 end = size; end > 0;) {
        const qint64 begin = std::max<qint64>(0, end - Step);
        const QByteArray block = readAt(fd, begin, end - begin);
        if (block.size() != end - begin)
            return 0;
        const qsizetype newline = block.lastIndexOf('\n');
        if (newline >= 0)
            return begin + newline + 1;
        end = begin;
    }
    return 0;
}

} // namespace

ReadingRecorder::ReadingRecorder(RecordFormat format, QObject* parent)
    : QObject(parent)
    , m_format(format)
{
}

ReadingRecorder::~ReadingRecorder()
{
    stop();
}

QString ReadingRecorder::path() const
{
    return QFile::decodeName(m_path);
}

bool ReadingRecorder::start(const QString& path)
{
    return start(QFile::encodeName(path));
}

bool ReadingRecorder::start(const QByteArray& nativePath)
{
    stop();
    m_rows = 0;
    m_path = nativePath;
    return open();
}

bool ReadingRecorder::reopen()
{
    stop();
    return open();
}

bool ReadingRecorder::open()
{
    m_crlf = false;
    m_fd = ::open(m_path.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        fail(RecordFailure::CannotOpen, systemError());
        return false;
    }
    struct stat status { };
    if (::fstat(m_fd, &status) != 0) {
        fail(RecordFailure::CannotOpen, systemError());
        return false;
    }
    m_device = status.st_dev;
    m_inode = status.st_ino;
    if (!S_ISREG(status.st_mode)) // a device or a pipe: nothing to look at, the header starts it
        return writeLine(recordHeaderBytes(m_format));

    // Another recorder may be starting the same file: what it holds, and so
    // whether it needs a header, is only known while nobody else writes.
    const bool locked = ::flock(m_fd, LOCK_EX) == 0;
    const auto unlock = qScopeGuard([this, locked] {
        if (locked && m_fd >= 0)
            ::flock(m_fd, LOCK_UN);
    });
    if (::fstat(m_fd, &status) != 0) {
        fail(RecordFailure::CannotOpen, systemError());
        return false;
    }
    if (status.st_size > 0 && !prepareExisting(status.st_size))
        return false;
    if (::lseek(m_fd, 0, SEEK_END) == 0) {
        if (m_syncEachRow)
            syncFolder(m_path);
        return writeLine(recordHeaderBytes(m_format));
    }
    return true;
}

// A file that already holds records of the format is appended to. A line cut
// short by a crash or a full disk is dropped first, so that every line stays
// whole; a first line cut short leaves a file that is as good as empty.
bool ReadingRecorder::prepareExisting(qint64 size)
{
    const QByteArray start = recordLineStart(m_format);
    const QByteArray beginning = readAt(m_fd, 0, std::min(size, FirstLineLimit));
    const qsizetype newline = beginning.indexOf('\n');
    qint64 keep = 0;
    if (newline < 0) {
        const bool cutShort = size == beginning.size() && (start.startsWith(beginning) || beginning.startsWith(start));
        if (!cutShort) {
            fail(RecordFailure::NotARecording, {});
            return false;
        }
    } else {
        QByteArray first = beginning.left(newline);
        m_crlf = first.endsWith('\r');
        if (m_crlf)
            first.chop(1);
        const bool ours = m_format == RecordFormat::Csv ? first == start : first.startsWith(start);
        if (!ours) {
            fail(RecordFailure::NotARecording, {});
            return false;
        }
        keep = endOfLastLine(m_fd, size);
    }
    if (keep < size && ::ftruncate(m_fd, keep) != 0) {
        fail(RecordFailure::CannotOpen, systemError());
        return false;
    }
    return true;
}

void ReadingRecorder::stop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ReadingRecorder::record(const Reading& reading)
{
    return isRecording() && recordLine(recordLineBytes(m_format, reading));
}

bool ReadingRecorder::recordLine(const QByteArray& line)
{
    if (!isRecording())
        return false;
    if (line.isEmpty())
        return true;
    if (!writeLine(line) || !stillNamed())
        return false;
    ++m_rows;
    emit rowWritten(m_rows);
    return true;
}

bool ReadingRecorder::writeLine(QByteArray bytes)
{
    if (bytes.isEmpty())
        return true;
    if (m_crlf)
        bytes.insert(bytes.size() - 1, '\r');
    if (writeAll(m_fd, bytes.constData(), bytes.size()) && (!m_syncEachRow || syncToDisk(m_fd)))
        return true;
    fail(RecordFailure::WriteFailed, systemError());
    return false;
}

// Deleted or renamed, the file takes rows nobody will find: the path must
// still lead to it.
bool ReadingRecorder::stillNamed()
{
    struct stat named { };
    if (::stat(m_path.constData(), &named) == 0 ? named.st_dev == m_device && named.st_ino == m_inode
                                                : errno != ENOENT && errno != ENOTDIR)
        return true;
    fail(RecordFailure::FileGone, {});
    return false;
}

void ReadingRecorder::fail(RecordFailure failure, const QString& detail)
{
    stop();
    emit failed(failure, detail);
}

} // namespace kv

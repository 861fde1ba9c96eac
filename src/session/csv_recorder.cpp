#include "session/csv_recorder.h"

#include "session/record_format.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

namespace kv {

namespace {

constexpr RecordFormat Format = RecordFormat::Csv;

// Hands what was written to the file to the disk itself, so it outlives a
// power cut. Files that cannot be synced (a pipe, /dev/null) count as written.
bool syncToDisk(int handle, QString* error)
{
#ifdef Q_OS_UNIX
    if (::fdatasync(handle) == 0 || errno == EINVAL || errno == EROFS)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#elif defined(Q_OS_WIN)
    if (::_commit(handle) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#else
    Q_UNUSED(handle);
    Q_UNUSED(error);
    return true;
#endif
}

// A new file's name lives in its folder: sync that too, or a power cut may
// leave no file at all.
void syncFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    const int handle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
#else
    Q_UNUSED(folder);
#endif
}

// Where the last whole line of the file ends, searching back from `size`.
qint64 endOfLastLine(QFile& file, qint64 size)
{
    constexpr qint64 Step = 4096;
    for (qint64 end = size; end > 0;) {
        const qint64 begin = std::max<qint64>(0, end - Step);
        if (!file.seek(begin))
            return 0;
        const QByteArray block = file.read(end - begin);
        const qsizetype newline = block.lastIndexOf('\n');
        if (newline >= 0)
            return begin + newline + 1;
        end = begin;
    }
    return 0;
}

} // namespace

CsvRecorder::CsvRecorder(QObject* parent)
    : QObject(parent)
{
}

CsvRecorder::~CsvRecorder() = default;

bool CsvRecorder::start(const QString& path)
{
    stop();
    m_rows = 0;
    m_file.setFileName(path);
    const QFileInfo info(path);
    const bool existed = info.exists();
    qint64 size = 0;
    if (existed && info.isFile() && info.size() > 0) {
        size = keptOfExisting(info.size());
        if (size < 0)
            return false;
    }
    // A device (/dev/null, a pipe) has no end to append at.
    const QIODevice::OpenMode mode = !existed || info.isFile() ? QIODevice::Append : QIODevice::WriteOnly;
    if (!m_file.open(mode | QIODevice::Unbuffered)) {
        fail(RecordFailure::CannotOpen, m_file.errorString());
        return false;
    }
    if (!existed)
        syncFolder(info.absolutePath());
    return size > 0 || writeDurably(recordHeaderBytes(Format));
}

// A file that already holds a recording is appended to. A row cut short by a
// crash is dropped first, so that every line stays a whole row; a header cut
// short leaves a file that is as good as empty. Returns the size kept, or -1
// when the file cannot be recorded to.
qint64 CsvRecorder::keptOfExisting(qint64 size)
{
    QFile existing(m_file.fileName());
    if (!existing.open(QIODevice::ReadWrite)) {
        fail(RecordFailure::CannotOpen, existing.errorString());
        return -1;
    }
    const QByteArray header = recordHeaderBytes(Format);
    const QByteArray beginning = existing.read(header.size());
    if (!beginning.startsWith(header) && !(size < header.size() && header.startsWith(beginning))) {
        fail(RecordFailure::NotARecording, {});
        return -1;
    }
    const qint64 keep = size < header.size() ? 0 : endOfLastLine(existing, size);
    if (keep < size && !existing.resize(keep)) {
        fail(RecordFailure::CannotOpen, existing.errorString());
        return -1;
    }
    return keep;
}

void CsvRecorder::stop()
{
    if (m_file.isOpen())
        m_file.close();
}

void CsvRecorder::record(const Reading& reading)
{
    if (!isRecording() || !reading.ok())
        return;
    if (!writeDurably(recordLineBytes(Format, reading)))
        return;
    ++m_rows;
    emit rowWritten(m_rows);
}

bool CsvRecorder::writeDurably(const QByteArray& bytes)
{
    QString error;
    if (m_file.write(bytes) != bytes.size())
        error = m_file.errorString();
    else if (syncToDisk(m_file.handle(), &error))
        return true;
    fail(RecordFailure::WriteFailed, error);
    return false;
}

void CsvRecorder::fail(RecordFailure failure, const QString& detail)
{
    stop();
    emit failed(failure, detail);
}

} // namespace kv

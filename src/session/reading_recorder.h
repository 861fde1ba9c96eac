#pragma once

#include "session/reading.h"
#include "session/record_format.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <sys/types.h>

namespace kv {

enum class RecordFailure {
    CannotOpen,    // the file cannot be created or opened for writing
    NotARecording, // the file has something else in it: appending would spoil both
    WriteFailed,   // a row could not be written (the disk is full, the device went away)
    FileGone,      // the file was deleted or renamed: rows would go where nobody finds them
};

// Writes readings to a file as they come, a line each in one record format,
// for the window's recording and the command line's -o alike. A new or empty
// file gets the format's header first; a file that already holds records of
// the same format is appended to, with its own line ends, after a line cut
// short by a crash or a full disk is dropped; a file of anything else is left
// alone. Whether to write the header is decided under an exclusive lock of
// the file, so two recorders starting the same new file write one header.
// After every row the path must still name the file written to. The first
// failure is reported and ends the recording.
class ReadingRecorder : public QObject {
    Q_OBJECT

public:
    explicit ReadingRecorder(RecordFormat format = RecordFormat::Csv, QObject* parent = nullptr);
    ~ReadingRecorder() override;

    // Each row handed to the disk itself before record() returns (the
    // default), so a power cut loses at most the row being written; off, it
    // is handed to the system only, as a pipe's reader would have it.
    void setSyncEachRow(bool sync) { m_syncEachRow = sync; }

    // Opens the file and records from now on; false (and failed()) when it
    // cannot. The path as the file system's bytes, or as text.
    bool start(const QByteArray& nativePath);
    bool start(const QString& path);
    // Closes the file; nothing is reported.
    void stop();
    // The same path again, as after a log rotation moved the file away: a new
    // file there gets its header. The rows written go on counting.
    bool reopen();

    bool isRecording() const { return m_fd >= 0; }
    // The file of the current or the last recording.
    QString path() const;
    QByteArray nativePath() const { return m_path; }
    // Rows the current or the last recording added (the header not counted).
    qint64 rowsWritten() const { return m_rows; }

    // Appends the reading as a line of the format (a format without a line
    // for it, as influx for a failure, writes nothing). False when no
    // recording is on or this one failed.
    bool record(const Reading& reading);
    // The same for a line recordLineBytes() made in the recording's format.
    bool recordLine(const QByteArray& line);

signals:
    void rowWritten(qint64 rows);
    // Once per recording, which has then stopped. `detail` is the system's own words.
    void failed(kv::RecordFailure failure, const QString& detail);

private:
    bool open();
    bool prepareExisting(qint64 size);
    bool writeLine(QByteArray bytes);
    bool stillNamed();
    void fail(RecordFailure failure, const QString& detail);

    RecordFormat m_format;
    bool m_syncEachRow = true;
    QByteArray m_path;
    int m_fd = -1;
    bool m_crlf = false; // the file's lines end in CR LF
    dev_t m_device = 0;
    ino_t m_inode = 0;
    qint64 m_rows = 0;
};

} // namespace kv

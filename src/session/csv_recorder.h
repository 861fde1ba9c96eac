#pragma once

#include "session/reading.h"

#include <QFile>
#include <QObject>
#include <QString>

namespace kv {

enum class RecordFailure {
    CannotOpen,    // the file cannot be created or opened for writing
    NotARecording, // the file has something else in it: appending would spoil both
    WriteFailed,   // a row could not be written (the disk is full, the device went away)
};

// Writes every sound reading to a CSV file as it comes, a row each, handed to
// the disk before record() returns: a crash or a power cut loses at most the
// row being written. A new or empty file gets the header first; a file that
// already holds a recording is appended to. The first failure is reported and
// ends the recording.
class CsvRecorder : public QObject {
    Q_OBJECT

public:
    explicit CsvRecorder(QObject* parent = nullptr);
    ~CsvRecorder() override;

    // Opens the file and records from now on; false (and failed()) when it cannot.
    bool start(const QString& path);
    // Closes the file; nothing is reported.
    void stop();

    bool isRecording() const { return m_file.isOpen(); }
    // The file of the current or the last recording.
    QString path() const { return m_file.fileName(); }
    // Rows the current or the last recording added (the header not counted).
    qint64 rowsWritten() const { return m_rows; }

    // Appends the reading when it is sound and a recording is on.
    void record(const Reading& reading);

signals:
    void rowWritten(qint64 rows);
    // Once per recording, which has then stopped. `detail` is the system's own words.
    void failed(kv::RecordFailure failure, const QString& detail);

private:
    qint64 keptOfExisting(qint64 size);
    bool writeDurably(const QByteArray& bytes);
    void fail(RecordFailure failure, const QString& detail);

    QFile m_file;
    qint64 m_rows = 0;
};

} // namespace kv

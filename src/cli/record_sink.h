#pragma once

#include <QByteArray>
#include <QString>

namespace kv::cli {

// Where records go: standard output, or a file they are appended to. Every
// line is handed to the system at once, so a reader (tail -f, a collector, a
// pipe) has each record as soon as it is taken.
class RecordSink {
public:
    enum class Result { Written, Closed, Failed };

    RecordSink() = default;
    ~RecordSink();
    RecordSink(const RecordSink&) = delete;
    RecordSink& operator=(const RecordSink&) = delete;

    // Standard output for an empty path, otherwise the file (created when
    // missing). False with the reason in error() when it cannot be opened.
    bool open(const QString& path);
    // Nothing stands in the output yet, so a header belongs at its top: true
    // for a pipe or a terminal, and for a file that is empty.
    bool startsEmpty() const { return m_startsEmpty; }

    // The line and its line end. Closed: the reader went away (a closed pipe);
    // Failed: anything else, see error().
    Result writeLine(const QString& line);

    QString error() const { return m_error; }

private:
    int m_fd = -1;
    bool m_ownsFd = false;
    bool m_startsEmpty = true;
    QString m_path;
    QString m_error;
    QByteArray m_buffer; // kept between lines: no allocation per record
};

// One line to standard error, at once.
void writeToStandardError(const QString& line);

} // namespace kv::cli

#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

namespace kv::test {

// A recording read back: its first line, the fields of every whole line after
// it, and what a crash may have left after the last newline.
struct RecordedCsv {
    QString header;
    QList<QStringList> rows;
    QStringList invalidLines; // whole lines that are no valid row
    QByteArray cutOff;        // bytes after the last newline
};

// A row as recordings write it: local time with milliseconds and UTC offset,
// station, four values with two decimals or empty, baud or empty, status.
inline bool isValidRow(const QString& line)
{
    static const QRegularExpression row(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d,\\d{1,3},"
                       "(-?\\d+\\.\\d\\d)?,(-?\\d+\\.\\d\\d)?,(-?\\d+\\.\\d\\d)?,(-?\\d+\\.\\d\\d)?,(\\d+)?,"
                       "(ok|no-reply|partial|bad-crc|exception-[0-9A-F]{2}|unexpected|port-lost)$"));
    return row.match(line).hasMatch();
}

inline RecordedCsv readRecordedCsv(const QString& path)
{
    RecordedCsv recorded;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return recorded;
    QByteArray bytes = file.readAll();
    const qsizetype lastNewline = bytes.lastIndexOf('\n');
    recorded.cutOff = bytes.mid(lastNewline + 1);
    bytes.truncate(lastNewline + 1);
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // after the final newline
    if (!lines.isEmpty())
        recorded.header = QString::fromUtf8(lines.takeFirst());
    for (const QByteArray& line : lines) {
        const QString text = QString::fromUtf8(line);
        if (isValidRow(text))
            recorded.rows.append(text.split(QLatin1Char(',')));
        else
            recorded.invalidLines.append(text);
    }
    return recorded;
}

inline const QString RecordHeader
    = QStringLiteral("time,station,temperature_c,humidity_rh,temperature_offset_c,humidity_offset_rh,baud,status");

} // namespace kv::test

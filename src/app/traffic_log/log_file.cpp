#include "app/traffic_log/log_file.h"

#include "app/traffic_log/frame_columns.h"
#include "session/traffic_recorder.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTextStream>

namespace kv {

namespace {

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString textHeader()
{
    return QCoreApplication::translate("kv::TrafficLog", "时间\t间隔 (ms)\t方向\t长度\t数据（十六进制）\t判断\t含义");
}

} // namespace

QString csvRecord(const TrafficFrame& frame)
{
    QStringList fields = frameFields(frame);
    // A program reading the file on gets the gap to the microsecond.
    fields[static_cast<int>(LogColumn::Delta)] = preciseDeltaText(frame);
    for (QString& field : fields)
        field = csvField(field);
    return fields.join(QLatin1Char(','));
}

QString textLine(const TrafficFrame& frame)
{
    return frameFields(frame).join(QLatin1Char('\t'));
}

std::optional<QString> writeLogFile(const TrafficRecorder& recorder, const QString& path, LogFileFormat format)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QTextStream out(&file);
    out << (format == LogFileFormat::Csv ? QString::fromLatin1(CsvHeader) : textHeader()) << '\n';
    for (qsizetype row = 0; row < recorder.size(); ++row)
        out << (format == LogFileFormat::Csv ? csvRecord(recorder.at(row)) : textLine(recorder.at(row))) << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace kv

#include "app/traffic_log/frame_columns.h"

#include "session/frame_wording.h"

#include <QDateTime>

namespace kv {

namespace {

QString deltaText(const TrafficFrame& frame, int decimals)
{
    // The first frame since the start has nothing before it to measure from.
    if (frame.number <= 1)
        return {};
    return QString::number(static_cast<double>(frame.sincePrevious) / 1e6, 'f', decimals);
}

} // namespace

QString columnText(const TrafficFrame& frame, LogColumn column)
{
    switch (column) {
    case LogColumn::Time:
        return QDateTime::fromMSecsSinceEpoch(frame.wallMs).time().toString(QStringLiteral("HH:mm:ss.zzz"));
    case LogColumn::Delta:
        return deltaText(frame, 1);
    case LogColumn::Direction:
        return directionText(frame.direction);
    case LogColumn::Length:
        return QString::number(frame.bytes.size());
    case LogColumn::Hex:
        return QString::fromLatin1(frame.bytes.toHex(' ').toUpper());
    case LogColumn::Verdict:
        return verdictText(frame);
    case LogColumn::Meaning:
        return meaningText(frame);
    }
    return {};
}

QStringList frameFields(const TrafficFrame& frame)
{
    QStringList fields;
    fields.reserve(LogColumnCount);
    for (int column = 0; column < LogColumnCount; ++column)
        fields << columnText(frame, static_cast<LogColumn>(column));
    return fields;
}

QString preciseDeltaText(const TrafficFrame& frame)
{
    return deltaText(frame, 3);
}

} // namespace kv

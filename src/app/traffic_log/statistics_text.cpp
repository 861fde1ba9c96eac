#include "app/traffic_log/statistics_text.h"

#include "session/traffic_statistics.h"

#include <QCoreApplication>
#include <QStringList>

namespace kv {

namespace {

QString millis(const std::optional<std::chrono::nanoseconds>& time)
{
    return time ? QString::number(static_cast<double>(time->count()) / 1e6, 'f', 1) : QStringLiteral("–");
}

QString count(const char* label, std::uint64_t value)
{
    return QCoreApplication::translate("kv::TrafficLog", label) + QLatin1Char(' ') + QString::number(value);
}

} // namespace

QString statisticsText(const TrafficStatistics& s)
{
    const QStringList counts{
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "请求"), s.requests),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "正常"), s.ok),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "无应答"), s.noReply),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "不完整"), s.partial),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "CRC 错误"), s.badCrc),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "异常"), s.exceptions),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "不符"), s.unexpected),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "迟到"), s.late),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "未请求"), s.unsolicited),
        count(QT_TRANSLATE_NOOP("kv::TrafficLog", "端口丢失"), s.portLost),
    };
    const QStringList figures{
        QCoreApplication::translate("kv::TrafficLog", "丢失率 %1 %").arg(s.lossPercent(), 0, 'f', 1),
        QCoreApplication::translate("kv::TrafficLog", "响应时间 最小/中位/95%/最大 %1 / %2 / %3 / %4 ms")
            .arg(millis(s.minimum()), millis(s.quantile(0.5)), millis(s.quantile(0.95)), millis(s.maximum())),
    };
    // A wide space between the figures: the ideographic one in Chinese.
    const QString gap = QCoreApplication::translate("kv::TrafficLog", "　", "between the figures of the statistics");
    return counts.join(gap) + QLatin1Char('\n') + figures.join(gap);
}

} // namespace kv

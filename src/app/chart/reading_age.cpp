#include "app/chart/reading_age.h"

#include <QCoreApplication>
#include <QLocale>

namespace kv {

QString readingAgeText(qint64 ageMs)
{
    const qint64 seconds = ageMs / 1000;
    if (seconds < 60)
        return QCoreApplication::translate("kv::ReadingAge", "%1 秒")
            .arg(QLocale().toString(static_cast<double>(ageMs / 100) / 10, 'f', 1));
    if (seconds < 3600)
        return QCoreApplication::translate("kv::ReadingAge", "%1 分 %2 秒").arg(seconds / 60).arg(seconds % 60);
    return QCoreApplication::translate("kv::ReadingAge", "%1 小时 %2 分").arg(seconds / 3600).arg(seconds / 60 % 60);
}

bool isReadingOld(qint64 ageMs, std::chrono::milliseconds period)
{
    return period.count() > 0 && ageMs > 3 * period.count();
}

} // namespace kv

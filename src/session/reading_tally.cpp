#include "session/reading_tally.h"

#include <QStringList>

namespace kv {

namespace {

QString milliseconds(std::chrono::nanoseconds time)
{
    return QString::number(static_cast<double>(time.count()) / 1e6, 'f', 1);
}

} // namespace

void ReadingTally::add(const Reading& reading)
{
    ++m_readings;
    if (reading.ok()) {
        ++m_ok;
        m_times.addResponseTime(reading.responseTime);
    } else {
        ++m_failures[statusCode(reading.status, reading.check.exceptionCode)];
    }
}

QString ReadingTally::summary() const
{
    QStringList parts{QStringLiteral("%1 %2").arg(m_readings).arg(m_readings == 1 ? "reading" : "readings"),
        QStringLiteral("%1 ok").arg(m_ok)};
    for (const auto& [status, count] : m_failures)
        parts << QStringLiteral("%1 %2").arg(count).arg(status);
    if (m_readings > 0) {
        const double loss = 100.0 * static_cast<double>(m_readings - m_ok) / static_cast<double>(m_readings);
        parts << QStringLiteral("loss %1 %").arg(QString::number(loss, 'f', 1));
    }
    if (m_times.responses() > 0) {
        parts << QStringLiteral("response time min %1 / median %2 / max %3 ms")
                     .arg(milliseconds(*m_times.minimum()), milliseconds(*m_times.quantile(0.5)),
                         milliseconds(*m_times.maximum()));
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace kv

#include "app/chart/reading_chart.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

// The narrowest span the whole run is shown in, so a first reading is not
// drawn across the full width.
constexpr qint64 MinimumSpanMs = 10'000;
constexpr qint64 DayMs = 24 * 3600 * 1000;

const QColor TemperatureColor(200, 55, 40);
const QColor HumidityColor(30, 100, 200);

void styleValueAxis(QCPAxis* axis, const QString& label, const QColor& color)
{
    axis->setVisible(true);
    axis->setLabel(label);
    axis->setLabelColor(color);
    axis->setTickLabelColor(color);
}

} // namespace

ReadingChart::ReadingChart(const ReadingHistory& history, QWidget* parent)
    : QCustomPlot(parent)
    , m_history(history)
    , m_temperature(addGraph(xAxis, yAxis))
    , m_humidity(addGraph(xAxis, yAxis2))
    , m_timeTicker(QSharedPointer<QCPAxisTickerDateTime>::create())
{
    setObjectName(QStringLiteral("readingChart"));
    // One pixel wide: wider lines are stroked as outlines, tens of times slower.
    m_temperature->setPen(QPen(TemperatureColor, 1));
    m_humidity->setPen(QPen(HumidityColor, 1));
    m_timeTicker->setDateTimeSpec(Qt::LocalTime);
    m_timeTicker->setDateTimeFormat(QStringLiteral("HH:mm:ss"));
    xAxis->setTicker(m_timeTicker);
    styleValueAxis(yAxis, tr("温度 (°C)"), TemperatureColor);
    styleValueAxis(yAxis2, tr("湿度 (%RH)"), HumidityColor);
    yAxis->setRange(0, 50);
    yAxis2->setRange(0, 100);

    // The mouse moves the time axis only.
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    axisRect()->setRangeDragAxes(xAxis, nullptr);
    axisRect()->setRangeZoomAxes(xAxis, nullptr);
    setNoAntialiasingOnDrag(true);
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        if (!m_movingSpan)
            userMovedSpan();
    });

    moveToFollowedSpan();
    redrawCurves();
}

void ReadingChart::refresh()
{
    if (isFollowing())
        moveToFollowedSpan();
    redrawCurves();
    replot(rpQueuedReplot);
    emit shownSpanChanged();
}

void ReadingChart::showWholeRun()
{
    setFollow(Follow::WholeRun);
    refresh();
}

void ReadingChart::setFollowing(bool following)
{
    if (following == isFollowing())
        return;
    setFollow(following ? Follow::Newest : Follow::No);
    if (following)
        refresh();
}

void ReadingChart::setQuantityShown(Quantity quantity, bool shown)
{
    curve(quantity)->setVisible(shown);
    replot(rpQueuedReplot);
}

qint64 ReadingChart::shownFromMs() const
{
    return std::llround(xAxis->range().lower * 1000);
}

qint64 ReadingChart::shownToMs() const
{
    return std::llround(xAxis->range().upper * 1000);
}

void ReadingChart::resizeEvent(QResizeEvent* event)
{
    QCustomPlot::resizeEvent(event);
    redrawCurves(); // as many columns as there are now
}

void ReadingChart::setFollow(Follow follow)
{
    const bool wasFollowing = isFollowing();
    m_follow = follow;
    if (wasFollowing != isFollowing())
        emit followingChanged(isFollowing());
}

void ReadingChart::moveToFollowedSpan()
{
    const std::optional<qint64> first = m_history.firstTimeMs();
    const qint64 last = m_history.lastTimeMs().value_or(QDateTime::currentMSecsSinceEpoch());
    qint64 from = last - MinimumSpanMs;
    qint64 to = last;
    if (first && m_follow == Follow::WholeRun) {
        // A little room on either side, so the first and the newest points are not cut by the axes.
        const qint64 width = std::max(last - *first, MinimumSpanMs);
        from = *first - width / 50;
        to = *first + width + width / 50;
    } else if (m_follow == Follow::Newest) {
        const qint64 width = std::max<qint64>(std::llround(xAxis->range().size() * 1000), 1);
        to = last + width / 50;
        from = to - width;
    }
    m_movingSpan = true;
    xAxis->setRange(static_cast<double>(from) / 1000, static_cast<double>(to) / 1000);
    m_movingSpan = false;
}

void ReadingChart::userMovedSpan()
{
    setFollow(Follow::No);
    redrawCurves();
    emit shownSpanChanged(); // the plot redraws itself after a wheel or drag
}

void ReadingChart::redrawCurves()
{
    redrawCurve(Quantity::Temperature);
    redrawCurve(Quantity::Humidity);
    const QString timeFormat
        = shownToMs() - shownFromMs() > DayMs ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("HH:mm:ss");
    if (m_timeTicker->dateTimeFormat() != timeFormat)
        m_timeTicker->setDateTimeFormat(timeFormat);
}

void ReadingChart::redrawCurve(Quantity quantity)
{
    const qint64 from = shownFromMs();
    const qint64 to = shownToMs();
    const int columns = std::max(width(), 100);
    const std::vector<TimedValue> points = m_history.outline(quantity, from, to, columns);
    QVector<QCPGraphData> data;
    data.reserve(static_cast<qsizetype>(points.size()));
    for (const TimedValue& point : points)
        data.append(QCPGraphData(static_cast<double>(point.timeMs) / 1000, point.value / 100.0));
    QCPGraph* drawn = curve(quantity);
    drawn->data()->set(data, true);
    // A few readings are drawn as dots as well: a lone one has no line to show it.
    const bool sparse = static_cast<int>(points.size()) * 8 < columns;
    drawn->setScatterStyle(sparse ? QCPScatterStyle(QCPScatterStyle::ssDisc, 5) : QCPScatterStyle());

    // The value axis fits what the span holds.
    const SpanStatistics figures = m_history.statistics(quantity, from, to);
    if (figures.count == 0)
        return;
    const double low = figures.minimum / 100.0;
    const double high = figures.maximum / 100.0;
    const double margin = std::max(0.1, (high - low) * 0.08);
    drawn->valueAxis()->setRange(low - margin, high + margin);
}

QCPGraph* ReadingChart::curve(Quantity quantity) const
{
    return quantity == Quantity::Temperature ? m_temperature : m_humidity;
}

} // namespace kv

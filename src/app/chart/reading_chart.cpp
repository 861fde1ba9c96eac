#include "app/chart/reading_chart.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace kv {

namespace {

// The narrowest span the whole run is shown in, so a first reading is not
// drawn across the full width.
constexpr qint64 MinimumSpanMs = 10'000;
constexpr qint64 DayMs = 24 * 3600 * 1000;
// Room between two time labels, beyond their own width.
constexpr int TimeLabelGap = 8;

const QColor TemperatureColor(200, 55, 40);
const QColor HumidityColor(30, 100, 200);

// The colours of a sensor's curves: warm ones for temperature, cool ones for
// humidity, a different pair for each sensor (repeating after four).
struct CurveColours {
    QColor temperature;
    QColor humidity;
};
const std::array<CurveColours, 4> SensorColours{{
    {TemperatureColor, HumidityColor},
    {QColor(230, 130, 0), QColor(0, 150, 140)},
    {QColor(170, 40, 150), QColor(60, 150, 40)},
    {QColor(120, 70, 30), QColor(40, 40, 140)},
}};

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
    , m_timeTicker(QSharedPointer<QCPAxisTickerDateTime>::create())
{
    setObjectName(QStringLiteral("readingChart"));
    setAccessibleName(tr("读数曲线"));
    // Smaller, the time labels and both value axes no longer fit beside each other.
    setMinimumSize(400, 220);
    m_timeTicker->setDateTimeSpec(Qt::LocalTime);
    m_timeTicker->setDateTimeFormat(QStringLiteral("HH:mm:ss"));
    xAxis->setTicker(m_timeTicker);
    styleValueAxis(yAxis, tr("温度 (°C)"), TemperatureColor);
    styleValueAxis(yAxis2, tr("湿度 (%RH)"), HumidityColor);
    yAxis->setRange(0, 50);
    yAxis2->setRange(0, 100);

    // The legend in a row of its own above the plot, a sensor to a line, so
    // it never covers a curve.
    legend->setVisible(true);
    axisRect()->insetLayout()->take(legend);
    plotLayout()->insertRow(0);
    plotLayout()->addElement(0, 0, legend);
    plotLayout()->setRowStretchFactor(0, 0.001);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(2);
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);

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
    // The labels' room is known once the plot is laid out.
    connect(this, &QCustomPlot::afterLayout, this, &ReadingChart::fitTimeTicks);

    moveToFollowedSpan();
    redrawCurves();
}

QString ReadingChart::sensorName(const SensorId& sensor)
{
    return tr("%1 站 %2").arg(sensor.port).arg(sensor.station);
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
    (quantity == Quantity::Temperature ? m_temperatureShown : m_humidityShown) = shown;
    for (const SensorCurves& curves : m_curves) {
        curves.of(quantity).line->setVisible(shown);
        curves.of(quantity).dots->setVisible(shown);
    }
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

ReadingChart::Curve ReadingChart::addCurve(Quantity quantity, const QString& name, const QColor& colour)
{
    QCPAxis* valueAxis = quantity == Quantity::Temperature ? yAxis : yAxis2;
    Curve curve{addGraph(xAxis, valueAxis), addGraph(xAxis, valueAxis)};
    // One pixel wide: wider lines are stroked as outlines, tens of times slower.
    curve.line->setPen(QPen(colour, 1));
    curve.line->setName(name);
    curve.dots->setPen(QPen(colour, 1));
    curve.dots->setLineStyle(QCPGraph::lsNone);
    curve.dots->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
    curve.dots->removeFromLegend();
    const bool shown = quantity == Quantity::Temperature ? m_temperatureShown : m_humidityShown;
    curve.line->setVisible(shown);
    curve.dots->setVisible(shown);
    return curve;
}

void ReadingChart::addNewSensors()
{
    const std::deque<SensorReadings>& sensors = m_history.sensors();
    while (m_curves.size() < sensors.size()) {
        const SensorId& id = sensors[m_curves.size()].id();
        const CurveColours& colours = SensorColours[m_curves.size() % SensorColours.size()];
        const QString name = sensorName(id);
        SensorCurves curves;
        curves.temperature = addCurve(Quantity::Temperature, tr("%1 温度").arg(name), colours.temperature);
        curves.humidity = addCurve(Quantity::Humidity, tr("%1 湿度").arg(name), colours.humidity);
        m_curves.push_back(curves);
        emit sensorAdded(id);
    }
    // The legend is painted: assistive tools read its names here.
    QStringList names;
    for (const SensorCurves& curves : m_curves)
        names << curves.temperature.line->name() << curves.humidity.line->name();
    setAccessibleDescription(names.join(QStringLiteral("; ")));
}

void ReadingChart::redrawCurves()
{
    addNewSensors();
    for (std::size_t index = 0; index < m_curves.size(); ++index) {
        const SensorReadings& sensor = m_history.sensors()[index];
        redrawCurve(sensor, Quantity::Temperature, m_curves[index].temperature);
        redrawCurve(sensor, Quantity::Humidity, m_curves[index].humidity);
    }
    fitValueAxis(Quantity::Temperature);
    fitValueAxis(Quantity::Humidity);
    const QString timeFormat
        = shownToMs() - shownFromMs() > DayMs ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("HH:mm:ss");
    if (m_timeTicker->dateTimeFormat() != timeFormat)
        m_timeTicker->setDateTimeFormat(timeFormat);
    fitTimeTicks();
}

void ReadingChart::redrawCurve(const SensorReadings& sensor, Quantity quantity, const Curve& curve)
{
    const int columns = std::max(width(), 100);
    const std::vector<TimedValue> points = sensor.outline(quantity, shownFromMs(), shownToMs(), columns);
    QVector<QCPGraphData> line;
    QVector<QCPGraphData> dots;
    line.reserve(static_cast<qsizetype>(points.size()) + 16);
    for (std::size_t index = 0; index < points.size(); ++index) {
        const TimedValue& point = points[index];
        const double key = static_cast<double>(point.timeMs) / 1000;
        if (point.startsRun && !line.isEmpty()) {
            // Not a value: the plot breaks the line here.
            line.append(QCPGraphData((line.last().key + key) / 2, std::numeric_limits<double>::quiet_NaN()));
        }
        line.append(QCPGraphData(key, point.value / 100.0));
        const bool joinedAfter = index + 1 < points.size() && !points[index + 1].startsRun;
        if (point.startsRun && !joinedAfter)
            dots.append(line.last());
    }
    curve.line->data()->set(line, true);
    curve.dots->data()->set(dots, true);
    // A few readings are drawn as dots as well: a lone one has no line to show it.
    const bool sparse = static_cast<int>(points.size()) * 8 < columns;
    curve.line->setScatterStyle(sparse ? QCPScatterStyle(QCPScatterStyle::ssDisc, 5) : QCPScatterStyle());
}

// The value axis fits what the span holds, of every sensor.
void ReadingChart::fitValueAxis(Quantity quantity)
{
    std::optional<int> low;
    std::optional<int> high;
    for (const SensorReadings& sensor : m_history.sensors()) {
        const SpanStatistics figures = sensor.statistics(quantity, shownFromMs(), shownToMs());
        if (figures.count == 0)
            continue;
        low = std::min(low.value_or(figures.minimum), figures.minimum);
        high = std::max(high.value_or(figures.maximum), figures.maximum);
    }
    if (!low)
        return;
    const double margin = std::max(0.1, (*high - *low) / 100.0 * 0.08);
    (quantity == Quantity::Temperature ? yAxis : yAxis2)->setRange(*low / 100.0 - margin, *high / 100.0 + margin);
}

// As many time labels as fit side by side with room between them. The ticker
// rounds its step to a readable one, at worst to 1/1.75 of what was asked, so
// a step of 1.75 labels' width keeps them apart.
void ReadingChart::fitTimeTicks()
{
    const QFontMetrics metrics(xAxis->tickLabelFont());
    const QString widest = QDateTime(QDate(2026, 12, 28), QTime(20, 58, 58)).toString(m_timeTicker->dateTimeFormat());
    const int labelWidth = metrics.horizontalAdvance(widest) + TimeLabelGap;
    const int room = axisRect()->width() > 0 ? axisRect()->width() : width();
    const int ticks = std::max(1, static_cast<int>(room / (1.75 * labelWidth)));
    if (m_timeTicker->tickCount() == ticks)
        return;
    m_timeTicker->setTickCount(ticks);
    replot(rpQueuedReplot); // laid out already: the new count shows with the next replot
}

} // namespace kv

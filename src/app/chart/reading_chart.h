#pragma once

#include "session/reading_history.h"

#include <qcustomplot.h>

#include <vector>

namespace kv {

// Temperature (left axis) and humidity (right axis) of the history against
// the time of day, a pair of curves for each sensor, named in the legend above
// the plot. A gap in a sensor's readings is a gap in its curves; a reading
// alone between gaps is drawn as a dot. Until the user zooms (wheel) or pans
// (drag) the time axis, it follows the newest reading. Only what a column of
// pixels can show is handed to the plot, so a redraw costs the same for a
// minute as for a day.
class ReadingChart : public QCustomPlot {
    Q_OBJECT

public:
    explicit ReadingChart(const ReadingHistory& history, QWidget* parent = nullptr);

    // The history has grown: moves along with it when following, and redraws.
    void refresh();
    // Fits the whole run, and keeps fitting it as it grows.
    void showWholeRun();
    // Keeps the newest reading at the right edge, at the width shown; or stays put.
    void setFollowing(bool following);
    bool isFollowing() const { return m_follow != Follow::No; }

    void setQuantityShown(Quantity quantity, bool shown);

    // The span on screen, in milliseconds since the epoch.
    qint64 shownFromMs() const;
    qint64 shownToMs() const;

    // How the legend and the list of sensors name a sensor: "COM2 站 7".
    static QString sensorName(const SensorId& sensor);

signals:
    void shownSpanChanged();
    void followingChanged(bool following);
    // A sensor read for the first time got its curves.
    void sensorAdded(const kv::SensorId& sensor);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Follow { No, WholeRun, Newest };

    // A quantity of one sensor: the line through its runs, and the dots of
    // readings that stand alone.
    struct Curve {
        QCPGraph* line;
        QCPGraph* dots;
    };
    struct SensorCurves {
        Curve temperature;
        Curve humidity;
        const Curve& of(Quantity quantity) const { return quantity == Quantity::Temperature ? temperature : humidity; }
    };

    void setFollow(Follow follow);
    void moveToFollowedSpan();
    void userMovedSpan();
    void addNewSensors();
    Curve addCurve(Quantity quantity, const QString& name, const QColor& colour);
    void redrawCurves();
    void redrawCurve(const SensorReadings& sensor, Quantity quantity, const Curve& curve);
    void fitValueAxis(Quantity quantity);
    void fitTimeTicks();

    const ReadingHistory& m_history;
    std::vector<SensorCurves> m_curves; // one for each of the history's sensors, in its order
    bool m_temperatureShown = true;
    bool m_humidityShown = true;
    QSharedPointer<QCPAxisTickerDateTime> m_timeTicker;
    Follow m_follow = Follow::WholeRun;
    bool m_movingSpan = false; // the chart moves it, not the user
};

} // namespace kv

#pragma once

#include "session/reading_history.h"

#include <qcustomplot.h>

namespace kv {

// Temperature (left axis) and humidity (right axis) of the history against
// the time of day. Until the user zooms (wheel) or pans (drag) the time axis,
// it follows the newest reading. Only what a column of pixels can show is
// handed to the plot, so a redraw costs the same for a minute as for a day.
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

signals:
    void shownSpanChanged();
    void followingChanged(bool following);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Follow { No, WholeRun, Newest };

    void setFollow(Follow follow);
    void moveToFollowedSpan();
    void userMovedSpan();
    void redrawCurves();
    void redrawCurve(Quantity quantity);
    QCPGraph* curve(Quantity quantity) const;

    const ReadingHistory& m_history;
    QCPGraph* m_temperature;
    QCPGraph* m_humidity;
    QSharedPointer<QCPAxisTickerDateTime> m_timeTicker;
    Follow m_follow = Follow::WholeRun;
    bool m_movingSpan = false; // the chart moves it, not the user
};

} // namespace kv

#pragma once

#include "session/reading_history.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;

namespace kv {

// Beside the chart, for one quantity: whether its curve is drawn, and for the
// span shown its newest value with the time, minimum, maximum, mean and the
// number of readings.
class SpanFigures : public QGroupBox {
    Q_OBJECT

public:
    explicit SpanFigures(const QString& title, QWidget* parent = nullptr);

    void setFigures(const SpanStatistics& figures);
    bool isCurveShown() const;

signals:
    void curveShownChanged(bool shown);

private:
    QLabel* addFigure(const char* objectName, const QString& caption);

    QCheckBox* m_curveShown;
    QLabel* m_last;
    QLabel* m_lastTime;
    QLabel* m_minimum;
    QLabel* m_maximum;
    QLabel* m_mean;
    QLabel* m_count;
};

} // namespace kv

#include "app/chart/span_figures.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFormLayout>
#include <QLabel>

#include <cmath>

namespace kv {

SpanFigures::SpanFigures(const QString& title, QWidget* parent)
    : QGroupBox(title, parent)
    , m_curveShown(new QCheckBox(tr("显示曲线"), this))
{
    auto* layout = new QFormLayout(this);
    m_curveShown->setObjectName(QStringLiteral("curveShown"));
    m_curveShown->setChecked(true);
    layout->addRow(m_curveShown);
    m_last = addFigure("last", tr("最新值"));
    m_lastTime = addFigure("lastTime", tr("时间"));
    m_minimum = addFigure("minimum", tr("最小值"));
    m_maximum = addFigure("maximum", tr("最大值"));
    m_mean = addFigure("mean", tr("平均值"));
    m_count = addFigure("count", tr("读数"));
    connect(m_curveShown, &QCheckBox::toggled, this, &SpanFigures::curveShownChanged);
    setFigures({});
}

QLabel* SpanFigures::addFigure(const char* objectName, const QString& caption)
{
    auto* figure = new QLabel(this);
    figure->setObjectName(QString::fromLatin1(objectName));
    figure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    static_cast<QFormLayout*>(layout())->addRow(caption, figure);
    return figure;
}

void SpanFigures::setFigures(const SpanStatistics& figures)
{
    m_count->setText(QString::number(figures.count));
    if (figures.count == 0) {
        const QString none = QStringLiteral("—");
        for (QLabel* figure : {m_last, m_lastTime, m_minimum, m_maximum, m_mean})
            figure->setText(none);
        return;
    }
    m_last->setText(hundredthsText(figures.last));
    m_lastTime->setText(QDateTime::fromMSecsSinceEpoch(figures.lastAtMs).toString(QStringLiteral("HH:mm:ss")));
    m_minimum->setText(hundredthsText(figures.minimum));
    m_maximum->setText(hundredthsText(figures.maximum));
    m_mean->setText(hundredthsText(static_cast<int>(std::lround(figures.mean))));
}

bool SpanFigures::isCurveShown() const
{
    return m_curveShown->isChecked();
}

} // namespace kv

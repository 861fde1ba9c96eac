#include "app/line_control.h"

#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace kv {

LineControl::LineControl(QPoint from, QPoint to, QWidget* parent)
    : QWidget(parent)
    , m_from(from)
    , m_to(to)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(std::min(from.x(), to.x()), std::min(from.y(), to.y()), std::abs(to.x() - from.x()) + 1,
        std::abs(to.y() - from.y()) + 1);
}

void LineControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(m_from - pos(), m_to - pos());
}

} // namespace kv

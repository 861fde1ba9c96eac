#include "app/steady_scroll_bar.h"

#include <QEvent>

namespace kv {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
}

QSize SteadyScrollBar::sizeHint() const
{
    if (!m_sizeHint.isValid())
        m_sizeHint = QScrollBar::sizeHint();
    return m_sizeHint;
}

bool SteadyScrollBar::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Polish:
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::ScreenChangeInternal:
        m_sizeHint = QSize();
        break;
    default:
        break;
    }
    return QScrollBar::event(event);
}

} // namespace kv

#include "app/traffic_log/text_line.h"

#include <QPainter>

namespace kv {

TextLine::TextLine(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // Opaque: a new text repaints this line, not the window behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(true);
}

void TextLine::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    update();
}

QSize TextLine::sizeHint() const
{
    return {fontMetrics().averageCharWidth() * 80, fontMetrics().height() + 4};
}

QSize TextLine::minimumSizeHint() const
{
    return {0, fontMetrics().height() + 4};
}

void TextLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRect area = rect().adjusted(2, 0, -2, 0);
    painter.setPen(palette().windowText().color());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_text, Qt::ElideRight, area.width()));
}

} // namespace kv

#include "app/traffic_log/text_line.h"

#include <QPainter>

namespace kv {

TextLine::TextLine(QWidget* parent, int lines)
    : QWidget(parent)
    , m_lines(std::max(1, lines))
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
    return {fontMetrics().averageCharWidth() * 80, minimumSizeHint().height()};
}

QSize TextLine::minimumSizeHint() const
{
    return {0, fontMetrics().lineSpacing() * m_lines + 4};
}

void TextLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().windowText().color());
    const QFontMetrics metrics = fontMetrics();
    const int room = width() - 4;
    int y = 2 + (height() - 4 - metrics.lineSpacing() * m_lines) / 2 + metrics.ascent();
    const QStringList lines = m_text.split(QLatin1Char('\n'));
    for (qsizetype line = 0; line < std::min<qsizetype>(lines.size(), m_lines); ++line) {
        painter.drawText(2, y, metrics.elidedText(lines[line], Qt::ElideRight, room));
        y += metrics.lineSpacing();
    }
}

} // namespace kv

#include "app/traffic_log/text_line.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace kv {

namespace {

// What assistive tools read of a text line: the text it paints, as static text.
class TextLineAccessible : public QAccessibleWidget {
public:
    explicit TextLineAccessible(TextLine* line)
        : QAccessibleWidget(line, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        const auto* line = static_cast<const TextLine*>(widget());
        if (kind == QAccessible::Name && line->accessibleName().isEmpty())
            return line->text();
        if (kind == QAccessible::Value)
            return line->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* textLineAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("kv::TextLine") && object && object->isWidgetType())
        return new TextLineAccessible(static_cast<TextLine*>(object));
    return nullptr;
}

} // namespace

TextLine::TextLine(QWidget* parent, int lines)
    : QWidget(parent)
    , m_lines(std::max(1, lines))
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // Opaque: a new text repaints this line, not the window behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(true);
    static const bool accessible = [] {
        QAccessible::installFactory(textLineAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
}

void TextLine::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
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

#include "app/traffic_log/log_item_delegate.h"

#include "app/traffic_log/frame_columns.h"

#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QVarLengthArray>

namespace kv {

namespace {

constexpr int Margin = 3;
constexpr int IconSize = 16;

QPixmap drawn(const QString& text, const QFont& font, const QColor& colour, qreal pixelRatio)
{
    const QFontMetrics metrics(font);
    const QSize size(metrics.horizontalAdvance(text) + 1, metrics.height());
    QPixmap picture(size * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPointF(0, metrics.ascent()), text);
    return picture;
}

// Pictures are about four bytes a pixel.
int costOf(int width, const QFont& font)
{
    return std::max(1, width * QFontMetrics(font).height() * 4);
}

} // namespace

void LogItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group
        = option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    } else if (const QVariant tint = index.data(Qt::BackgroundRole); tint.isValid()) {
        painter->fillRect(option.rect, tint.value<QColor>());
    }

    QRect area = option.rect.adjusted(Margin, 0, -Margin, 0);
    if (const QVariant decoration = index.data(Qt::DecorationRole); decoration.isValid()) {
        const QIcon icon = decoration.value<QIcon>();
        icon.paint(painter, QRect(area.left(), area.center().y() - IconSize / 2 + 1, IconSize, IconSize));
        area.setLeft(area.left() + IconSize + Margin);
    }

    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty() || area.width() <= 0)
        return;
    const QVariant fontData = index.data(Qt::FontRole);
    const QFont font = fontData.isValid() ? fontData.value<QFont>() : option.font;
    const QColor colour = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const auto alignment = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
    const auto column = static_cast<LogColumn>(index.column());
    // New in every row: a picture of the whole would be drawn once and never used again.
    if ((column == LogColumn::Time || column == LogColumn::Delta)
        && drawDigits(painter, area, text, font, colour, alignment.testFlag(Qt::AlignRight)))
        return;
    const QPixmap& line = picture(text, font, colour, area.width(), painter->device()->devicePixelRatioF());
    const QSizeF size = line.deviceIndependentSize();
    const qreal x = alignment.testFlag(Qt::AlignRight) ? area.right() + 1 - size.width() : area.left();
    const qreal y = area.top() + (area.height() - size.height()) / 2;
    painter->drawPixmap(QPointF(x, y), line);
}

int LogItemDelegate::slotOf(const QFont& font) const
{
    // Fonts compare cheaply when they are the same.
    for (int slot = 0; slot < m_fontsUsed; ++slot) {
        if (m_fonts[slot] == font)
            return slot;
    }
    if (m_fontsUsed < 2) {
        m_fonts[m_fontsUsed] = font;
        return m_fontsUsed++;
    }
    m_fonts[1] = font;
    m_lines.clear();
    m_cut.clear();
    m_digits.clear();
    return 1;
}

bool LogItemDelegate::drawDigits(QPainter* painter, const QRect& area, const QString& text, const QFont& font,
    const QColor& colour, bool alignRight) const
{
    const int slot = slotOf(font);
    const qreal pixelRatio = painter->device()->devicePixelRatioF();
    QVarLengthArray<const Glyph*, 16> glyphs;
    int width = 0;
    for (const QChar c : text) {
        if (!c.isDigit() && c != u':' && c != u'.' && c != u'-')
            return false;
        const quint64 key
            = quint64(colour.rgba()) << 32 | quint64(slot) << 31 | quint64(pixelRatio * 100) << 16 | c.unicode();
        auto found = m_digits.find(key);
        if (found == m_digits.end())
            found = m_digits.insert(
                key, {drawn(QString(c), font, colour, pixelRatio), QFontMetrics(font).horizontalAdvance(c)});
        glyphs.append(&*found);
        width += found->advance;
    }
    if (width > area.width())
        return false;
    qreal x = alignRight ? area.right() + 1 - width : area.left();
    const qreal y = area.top() + (area.height() - glyphs.first()->picture.deviceIndependentSize().height()) / 2;
    for (const Glyph* glyph : glyphs) {
        painter->drawPixmap(QPointF(x, y), glyph->picture);
        x += glyph->advance;
    }
    return true;
}

const QPixmap& LogItemDelegate::picture(
    const QString& text, const QFont& font, const QColor& colour, int room, qreal pixelRatio) const
{
    const int slot = slotOf(font);
    const QString key = QString::number(slot) + QString::number(colour.rgba(), 16) + QString::number(pixelRatio)
        + QLatin1Char('\n') + text;
    Line* line = m_lines.object(key);
    if (!line) {
        line = new Line{QFontMetrics(font).horizontalAdvance(text), {}};
        m_lines.insert(key, line, costOf(std::min(line->width, 2000), font));
    }
    if (line->width <= room) {
        if (line->whole.isNull())
            line->whole = drawn(text, font, colour, pixelRatio);
        return line->whole;
    }
    // Too wide: the text cut to this width is kept until the column changes.
    const QString cutKey = QString::number(room) + QLatin1Char('/') + key;
    if (QPixmap* cut = m_cut.object(cutKey))
        return *cut;
    auto* cut = new QPixmap(drawn(QFontMetrics(font).elidedText(text, Qt::ElideRight, room), font, colour, pixelRatio));
    m_cut.insert(cutKey, cut, costOf(room, font));
    return *cut;
}

} // namespace kv

#pragma once

#include <QCache>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace kv {

// Paints a cell of the traffic log: its tint (or the selection), its icon and
// one line of text. Most cells repeat what a row before them said (the same
// request, the same answer, "发送", "正常"): each such text is drawn once into
// a picture that later cells copy, which costs a fraction of drawing the
// letters again. Times, new in every row, are put together from pictures of
// their digits.
class LogItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct Line {
        int width = 0; // the whole text's, in this font
        QPixmap whole; // drawn once it is needed whole
    };

    // The text in this font and colour, ended with an ellipsis where it is
    // wider than `room`.
    const QPixmap& picture(
        const QString& text, const QFont& font, const QColor& colour, int room, qreal pixelRatio) const;

    // Draws a text of digits, ':', '.' and '-' from pictures of each; false
    // for any other text.
    bool drawDigits(QPainter* painter, const QRect& area, const QString& text, const QFont& font, const QColor& colour,
        bool alignRight) const;

    struct Glyph {
        QPixmap picture;
        int advance = 0;
    };

    // The font's slot, 0 or 1: the table's own font and the hex column's. A
    // third font (the user changed the table's) takes slot 1 and every
    // picture is drawn anew.
    int slotOf(const QFont& font) const;

    mutable QFont m_fonts[2];
    mutable int m_fontsUsed = 0;
    mutable QHash<quint64, Glyph> m_digits;
    mutable QCache<QString, Line> m_lines{16 * 1024 * 1024};
    mutable QCache<QString, QPixmap> m_cut{4 * 1024 * 1024};
};

} // namespace kv

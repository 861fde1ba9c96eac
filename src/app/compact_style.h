#pragma once

#include <QProxyStyle>

namespace kv {

// The window's layout packs a drop-down list into 57 pixels: with the
// platform's wide arrow button a three-character entry would not show. This
// style narrows the arrow and gives the text field the room it frees.
class CompactStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget) const override;
};

// The application's style: the compact variant of Fusion. Needs the application object.
void useCompactStyle();

} // namespace kv

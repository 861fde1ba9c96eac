#pragma once

#include <QProxyStyle>

namespace kv {

// The window's layout packs a drop-down list into 57 pixels: with the
// platform's wide arrow button and frame a port name would not show whole.
// This style narrows the arrow and the frame and gives the text field the
// room they free.
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

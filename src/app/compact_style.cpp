#include "app/compact_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionComplex>

namespace kv {

namespace {
// Narrow enough that "COM25" shows whole in the 57 pixels of the port list.
constexpr int ArrowWidth = 10;
constexpr int FrameWidth = 1;
} // namespace

QRect CompactStyle::subControlRect(
    ComplexControl control, const QStyleOptionComplex* option, SubControl subControl, const QWidget* widget) const
{
    if (control != CC_ComboBox)
        return QProxyStyle::subControlRect(control, option, subControl, widget);

    const QRect frame = option->rect;
    switch (subControl) {
    case SC_ComboBoxArrow:
        return visualRect(option->direction, frame,
            QRect(frame.right() - ArrowWidth - FrameWidth + 1, frame.top() + FrameWidth, ArrowWidth,
                frame.height() - 2 * FrameWidth));
    case SC_ComboBoxEditField:
        return visualRect(option->direction, frame,
            QRect(frame.left() + FrameWidth, frame.top() + FrameWidth, frame.width() - 2 * FrameWidth - ArrowWidth,
                frame.height() - 2 * FrameWidth));
    default:
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

void useCompactStyle()
{
    QApplication::setStyle(new CompactStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
}

} // namespace kv

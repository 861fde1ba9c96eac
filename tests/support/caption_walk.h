#pragma once

#include <QFont>
#include <QList>
#include <QString>

class QWidget;

namespace kv::test {

// One text a control shows: what it reads, the font it is drawn in, and the
// width it needs against the room its control gives it, in pixels.
struct Caption {
    const QWidget* control = nullptr;
    QString text;
    QFont font;
    int needed = 0;
    int room = 0;
};

// Every caption of the controls under `window` that are shown: labels, buttons,
// check boxes, frames, the entries of lists, column titles, text lines and tool
// buttons. A list or header gives one caption per entry or column.
QList<Caption> captionsUnder(const QWidget& window);

// The titles of the window's menu bar, room being the space the bar gives each,
// and the entries of every menu they open (a menu is as wide as its widest entry).
QList<Caption> menuCaptions(const QWidget& window);

// The control's objectName, or its class and caption where it has none.
QString nameOf(const Caption& caption);

// A caption as it shows, without the & that marks its keyboard shortcut.
QString withoutMnemonic(QString text);

} // namespace kv::test

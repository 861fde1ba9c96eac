#include "app/pick_list.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace kv {

PickList::PickList(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // a completion would choose an entry behind the user's back
    connect(this, &QComboBox::activated, this, [this] {
        if (!m_handlingText)
            emit chosen();
    });
}

// Enter in the text, and leaving it, make the combo box look up the typed
// text and report a matching entry as activated. The combo box hands both
// events straight to its text field, past any filter on it, so they are
// caught here: that is typing, not choosing.
void PickList::keyPressEvent(QKeyEvent* event)
{
    const bool commitsText = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QScopedValueRollback guard(m_handlingText, m_handlingText || commitsText);
    QComboBox::keyPressEvent(event);
}

void PickList::focusOutEvent(QFocusEvent* event)
{
    const QScopedValueRollback guard(m_handlingText, true);
    QComboBox::focusOutEvent(event);
}

void PickList::choose(int position)
{
    setCurrentIndex(position);
    emit chosen();
}

void PickList::chooseText(const QString& text)
{
    choose(findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void PickList::changeEvent(QEvent* event)
{
    // Under a style sheet the text field and the popup do not inherit the
    // list's font; without this they show the entries in another, wider one.
    if (event->type() == QEvent::FontChange) {
        lineEdit()->setFont(font());
        view()->setFont(font());
    }
    QComboBox::changeEvent(event);
}

void PickList::showPopup()
{
    emit popupAboutToShow();
    fitPopupToEntries();
    QComboBox::showPopup();
}

// As wide as the widest entry with the margins its row keeps around the
// text, the scroll bar and the frame: a narrow list would elide the entries.
void PickList::fitPopupToEntries()
{
    QAbstractItemView* popup = view();
    const QFontMetrics metrics(popup->font());
    int widest = 0;
    for (int position = 0; position < count(); ++position)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(position)));
    const int textMargin = popup->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, popup) + 1;
    const int scrollBar = count() > maxVisibleItems() ? popup->verticalScrollBar()->sizeHint().width() : 0;
    popup->setMinimumWidth(widest + 2 * textMargin + scrollBar + 2 * popup->frameWidth());
}

} // namespace kv

#include "app/pick_list.h"

#include <QKeyEvent>
#include <QScopedValueRollback>

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

void PickList::showPopup()
{
    emit popupAboutToShow();
    QComboBox::showPopup();
}

} // namespace kv

#include "app/pick_list.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>

namespace kv {

PickList::PickList(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // a completion would choose an entry behind the user's back
    lineEdit()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this] {
        if (!m_handlingText)
            emit chosen();
    });
}

bool PickList::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the text field, or leaving it, makes the combo box pick the
    // entry that matches the typed text and report it as activated. That is
    // typing, not choosing: let the text field handle the event while we
    // know where it came from.
    if (watched == lineEdit() && isTextCommit(event)) {
        const QScopedValueRollback guard(m_handlingText, true);
        static_cast<QObject*>(lineEdit())->event(event);
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

bool PickList::isTextCommit(const QEvent* event)
{
    if (event->type() == QEvent::FocusOut)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
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

#include "app/pick_list.h"

namespace kv {

PickList::PickList(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // a completion would choose an entry behind the user's back
    connect(this, &QComboBox::activated, this, &PickList::chosen);
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

#include "app/edited_values.h"

#include "app/control_set.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace kv {

EditedValues::EditedValues(const ControlSet& controls, QObject* parent)
    : QObject(parent)
{
    for (int row = FirstRow; row <= LastRow; ++row) {
        Box& entry = *box(row);
        entry.edit = controls.get<QLineEdit>(u"txtValue", row);
        if (!entry.edit)
            continue;
        entry.lastDecoded = entry.edit->text();
        // textEdited comes from the technician's typing only, never from setText.
        connect(entry.edit, &QLineEdit::textEdited, this, [&entry] { entry.edited = true; });
        entry.edit->installEventFilter(this);
    }
}

EditedValues::Box* EditedValues::box(int row)
{
    return row >= FirstRow && row <= LastRow ? &m_boxes[static_cast<std::size_t>(row - FirstRow)] : nullptr;
}

bool EditedValues::takeDecoded(int row, const QString& text)
{
    Box* entry = box(row);
    if (!entry)
        return true;
    entry->lastDecoded = text;
    return !entry->edited;
}

void EditedValues::release(int row)
{
    if (Box* entry = box(row))
        entry->edited = false;
}

bool EditedValues::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        for (Box& entry : m_boxes) {
            if (entry.edit != watched || !entry.edited)
                continue;
            entry.edited = false;
            entry.edit->setText(entry.lastDecoded);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kv

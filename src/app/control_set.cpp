#include "app/control_set.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace kv {

namespace {

// Replaces a multi-line box's text in its document rather than through
// setPlainText(), which rebuilds the whole document: the reply box is
// emptied and filled again at every poll, and the rebuilding was most of
// what a poll cost. What the box shows, and where it is scrolled, is the same.
void replaceText(QPlainTextEdit& memo, const QString& text)
{
    QTextDocument& document = *memo.document();
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false); // a program's text is not the user's to undo, as with setPlainText
    QTextCursor all(&document);
    // In one edit block the text is laid out once, at its end, and the
    // cursors do not each measure where they stand in the new line.
    all.beginEditBlock();
    all.select(QTextCursor::Document);
    if (text.isEmpty())
        all.removeSelectedText(); // without placing a cursor after nothing, which lays the line out
    else
        all.insertText(text);
    all.endEditBlock();
    document.setUndoRedoEnabled(undo);
    // Moving costs a layout even when the cursor is at the start already (as
    // after emptying the box).
    const QTextCursor cursor = memo.textCursor();
    if (cursor.position() != 0 || cursor.hasSelection())
        memo.moveCursor(QTextCursor::Start);
}

} // namespace

QString ControlSet::objectNameFor(QStringView name, int index)
{
    if (index < 0)
        return name.toString();
    // Put together by hand: controls are looked up several times a poll.
    QString objectName;
    objectName.reserve(name.size() + 5);
    objectName.append(name).append(QLatin1Char('(')).append(QString::number(index)).append(QLatin1Char(')'));
    return objectName;
}

namespace {

// "txtValue(2)" is member 2 of the array txtValue; any other name is a control
// of its own (index -1).
std::pair<QStringView, int> splitObjectName(QStringView objectName)
{
    if (!objectName.endsWith(QLatin1Char(')')))
        return {objectName, -1};
    const qsizetype open = objectName.indexOf(QLatin1Char('('));
    bool number = false;
    const int index = open > 0 ? objectName.sliced(open + 1, objectName.size() - open - 2).toInt(&number) : -1;
    if (!number || index < 0)
        return {objectName, -1};
    return {objectName.first(open), index};
}

} // namespace

void ControlSet::add(QWidget* control)
{
    const QString objectName = control->objectName();
    const auto [name, index] = splitObjectName(objectName);
    m_controls.insert_or_assign(Key{name.toString(), index}, control);
}

QWidget* ControlSet::widget(QStringView name, int index) const
{
    // Array members are asked for by name and index, or by their whole
    // object name ("txtValue(2)").
    const auto [arrayName, memberIndex] = index < 0 ? splitObjectName(name) : std::pair{name, index};
    const auto found = m_controls.find(KeyView{arrayName, memberIndex});
    return found == m_controls.end() ? nullptr : found->second;
}

QString ControlSet::text(QStringView name, int index) const
{
    QWidget* control = widget(name, index);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(control))
        return memo->toPlainText();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* list = qobject_cast<QComboBox*>(control))
        return list->currentText();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* frame = qobject_cast<QGroupBox*>(control))
        return frame->title();
    return {};
}

bool ControlSet::setText(QStringView name, int index, const QString& text)
{
    // Most texts come back unchanged at every poll (the same frame, the same
    // value): those boxes are left alone, as their layout is the costly part,
    // and a box the technician is editing keeps its cursor.
    QWidget* control = widget(name, index);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) {
        if (memo->toPlainText() != text)
            replaceText(*memo, text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        if (label->text() != text)
            label->setText(text);
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        list->setEditText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        frame->setTitle(text);
    } else {
        return false;
    }
    return true;
}

} // namespace kv

#pragma once

#include <QString>

#include <functional>

namespace kv {

// Every message box of the tool goes through here: modal, OK only. Tests put a
// recorder in place of the real dialog so nothing ever blocks on it.
namespace MessageBox {

enum class Icon { None, Exclamation, About }; // About: the program's icon, rich text

struct Message {
    QString title;
    QString text;
    Icon icon = Icon::None;
    QString detail; // extra explanation behind a "details" button; usually empty
};

// The application's title, shown by boxes that have none of their own.
inline const QString applicationTitle = QStringLiteral("Orvane");

void show(const Message& message);

// A plain box with the application's title and no icon.
inline void show(const QString& text)
{
    show(Message{applicationTitle, text, Icon::None, {}});
}

// True while a message box is on screen. Its modal loop still delivers
// timer ticks and port events; handlers that would open another box wait.
bool isOpen();

using Presenter = std::function<void(const Message&)>;
// Replaces the dialog; an empty presenter restores it.
void setPresenter(Presenter presenter);

} // namespace MessageBox
} // namespace kv

#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QScopeGuard>

namespace kv::MessageBox {

namespace {

Presenter& presenter()
{
    static Presenter current;
    return current;
}

int openBoxes = 0;

void showDialog(const Message& message)
{
    if (message.icon == Icon::About) {
        QMessageBox::about(QApplication::activeWindow(), message.title, message.text);
        return;
    }
    QMessageBox box(message.icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, message.title,
        message.text, QMessageBox::Ok, QApplication::activeWindow());
    if (!message.detail.isEmpty())
        box.setDetailedText(message.detail);
    box.exec();
}

} // namespace

void show(const Message& message)
{
    ++openBoxes;
    const auto closed = qScopeGuard([] { --openBoxes; });
    if (presenter())
        presenter()(message);
    else
        showDialog(message);
}

bool isOpen()
{
    return openBoxes > 0;
}

void setPresenter(Presenter replacement)
{
    presenter() = std::move(replacement);
}

} // namespace kv::MessageBox

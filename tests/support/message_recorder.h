#pragma once

#include "app/message_box.h"

#include <QList>

namespace kv::test {

// Takes the place of the message box dialog while it lives, keeping every
// message instead of showing it.
class MessageRecorder {
public:
    MessageRecorder()
    {
        MessageBox::setPresenter([this](const MessageBox::Message& message) {
            shown.append(message);
            if (whileOpen)
                whileOpen(message);
        });
    }
    ~MessageRecorder() { MessageBox::setPresenter({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QList<MessageBox::Message> shown;
    // Runs while the box is "on screen", as events would in its modal loop.
    std::function<void(const MessageBox::Message&)> whileOpen;
};

} // namespace kv::test

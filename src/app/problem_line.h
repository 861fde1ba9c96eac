#pragma once

#include <QFrame>

class QLabel;

namespace kv {

// A line across a window that says what went wrong and stays until its close
// button is pressed. Unlike a message box it waits for nobody: the exchange,
// the polling and the window go on while it is there.
class ProblemLine : public QFrame {
    Q_OBJECT

public:
    explicit ProblemLine(QWidget* parent = nullptr);

    // Shows the text (and the system's own words, when any, as its tooltip),
    // replacing what was shown.
    void say(const QString& text, const QString& detail = {});
    QString text() const;

private:
    QLabel* m_text;
};

} // namespace kv

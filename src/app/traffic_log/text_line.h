#pragma once

#include <QWidget>

namespace kv {

// A few lines of text that change often (running counts). Unlike a label it
// never asks the window to lay itself out again when its text changes: it is
// as many lines high as it was made for, whatever it says, and repaints
// itself alone. A line that does not fit ends in an ellipsis; the whole text
// is the tooltip, and assistive tools read it as the line's name and value.
class TextLine : public QWidget {
    Q_OBJECT

public:
    explicit TextLine(QWidget* parent = nullptr, int lines = 1);

    QString text() const { return m_text; }
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    int m_lines;
};

} // namespace kv

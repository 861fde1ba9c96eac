#pragma once

#include <QWidget>

namespace kv {

// One line of text that changes often (running counts). Unlike a label it
// never asks the window to lay itself out again when its text changes: it is
// one line high whatever it says, and repaints itself alone. Text that does
// not fit ends in an ellipsis; the whole of it is the tooltip.
class TextLine : public QWidget {
    Q_OBJECT

public:
    explicit TextLine(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};

} // namespace kv

#pragma once

#include <QPoint>
#include <QWidget>

namespace kv {

// A straight line between two points of its container, drawn in its own small
// widget that covers just the line's bounding box and lets clicks through.
class LineControl : public QWidget {
    Q_OBJECT

public:
    LineControl(QPoint from, QPoint to, QWidget* parent);

    QPoint from() const { return m_from; }
    QPoint to() const { return m_to; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint m_from;
    QPoint m_to;
};

} // namespace kv

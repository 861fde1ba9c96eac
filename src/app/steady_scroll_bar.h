#pragma once

#include <QScrollBar>
#include <QSize>

namespace kv {

// A scroll bar that works out its size hint once per style and font. The
// scroll area lays its bars out again whenever a bar's range changes, and a
// frame box's range changes twice a poll (emptied at the request, filled at
// the reply): asking the style each time was a tenth of what a poll cost,
// for bars the frame boxes never show.
class SteadyScrollBar : public QScrollBar {
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;

private:
    mutable QSize m_sizeHint;
};

} // namespace kv

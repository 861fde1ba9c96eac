#include "app/traffic_log/log_table_view.h"

#include <QHeaderView>
#include <QScrollBar>

namespace kv {

LogTableView::LogTableView(QWidget* parent)
    : QTableView(parent)
{
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

void LogTableView::beginBatch()
{
    m_inBatch = true;
    m_offsetBefore = verticalOffset();
    // The table would lay itself out again and repaint everything: hold the
    // repaint back, endBatch() paints what needs it.
    viewport()->setAttribute(Qt::WA_UpdatesDisabled, true);
}

void LogTableView::endBatch(int removedAtTop, int appended, bool follow)
{
    if (!m_inBatch)
        return;
    m_inBatch = false;
    executeDelayedItemsLayout();
    if (follow)
        scrollToBottom();
    QWidget* port = viewport();
    port->setAttribute(Qt::WA_UpdatesDisabled, false);
    if (removedAtTop == 0 && appended == 0)
        return;

    // Every row is as high as the first: what was on screen moved up by the
    // rows that left the top, and by however far the view scrolled.
    const int rowHeight = verticalHeader()->defaultSectionSize();
    const int moved = -removedAtTop * rowHeight - (verticalOffset() - m_offsetBefore);
    if (moved != 0) {
        if (std::abs(moved) < port->height())
            port->scroll(0, moved); // moves the pixels, paints the strip it uncovers
        else
            port->update();
    }
    // Rows appended where the screen still had room.
    const int rows = model() ? model()->rowCount() : 0;
    const int firstNew = rows - appended;
    const int top = rowViewportPosition(firstNew);
    if (appended > 0 && top < port->height())
        port->update(0, std::max(0, top), port->width(), port->height() - std::max(0, top));
}

} // namespace kv

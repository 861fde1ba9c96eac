#pragma once

#include <QTableView>

namespace kv {

// The traffic log's table. Between batches the log only grows at its end and
// loses rows at its top; a plain table would repaint every row on screen for
// each batch. This one moves what it already shows by the rows that came and
// went and paints only the rows new to the screen. Rows are one line high.
class LogTableView : public QTableView {
    Q_OBJECT

public:
    explicit LogTableView(QWidget* parent = nullptr);

    // Around a batch of the log: rows removed at the top, rows appended at
    // the end, nothing else changed. With `follow` the newest row ends in view.
    void beginBatch();
    void endBatch(int removedAtTop, int appended, bool follow);

private:
    int m_offsetBefore = 0;
    bool m_inBatch = false;
};

} // namespace kv

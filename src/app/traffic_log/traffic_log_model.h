#pragma once

#include "app/traffic_log/frame_columns.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <QTimer>

#include <chrono>

namespace kv {

class TrafficRecorder;
struct TrafficFrame;

// The traffic recorder's frames as a table, one row a frame. The recorder
// announces every frame; the table catches up in batches on a short timer,
// so a busy line costs one insertion (and one removal at the top, once the
// recorder is full) per batch rather than per frame. Texts are made when a
// row is shown, not when it is recorded.
class TrafficLogModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds BatchInterval{250};

    explicit TrafficLogModel(TrafficRecorder& recorder, QObject* parent = nullptr);

    // What the times of the log are, and what they cannot show.
    static QString timingNote();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The frame of a row; null for a row whose frame has just left the
    // recorder and is removed with the next batch.
    const TrafficFrame* frameAt(int row) const;
    // The row of the request a frame answers, or -1 when it is not shown.
    int requestRowOf(const TrafficFrame& frame) const;

    // While paused the rows stand still: frames are still recorded, and rows
    // whose frames left the recorder still go. Resuming catches up at once.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // Frames recorded and not yet in the table.
    qsizetype waiting() const;

    // Brings the table up to the recorder now rather than at the next batch.
    void catchUp();

    TrafficRecorder& recorder() const { return m_recorder; }

signals:
    // Around each batch: rows removed at the top, then rows appended.
    void aboutToCatchUp();
    void caughtUp(int removedAtTop, int appended);

private:
    void schedule();
    int recorderRow(int row) const { return row - static_cast<int>(m_gone); }

    TrafficRecorder& m_recorder;
    QTimer m_batch;
    int m_rows = 0;       // rows in the table
    qsizetype m_gone = 0; // frames dropped by the recorder since the last batch: the top rows, gone
    bool m_paused = false;
    QIcon m_problemIcon;
    QIcon m_lostIcon;
    QFont m_hexFont;
};

} // namespace kv

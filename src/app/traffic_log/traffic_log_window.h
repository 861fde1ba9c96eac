#pragma once

#include "app/traffic_log/log_table_view.h"
#include "app/traffic_log/problem_filter.h"
#include "app/traffic_log/text_line.h"
#include "app/traffic_log/traffic_log_model.h"

#include <QMainWindow>
#include <QTimer>

class QAction;
class QPushButton;

namespace kv {

class ProblemLine;
class TrafficRecorder;

// The traffic log window: every frame on the line with its time, verdict and
// meaning, the statistics above it, and tools to pause, clear, narrow to the
// problems, copy and save. It shows what the recorder holds, also what came
// before it was opened; closing it leaves the recording alone.
class TrafficLogWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds FiguresInterval{500};

    explicit TrafficLogWindow(TrafficRecorder& recorder, QWidget* parent = nullptr);

    TrafficLogModel& log() { return m_log; }
    LogTableView& table() const { return *m_table; }

    // The frames of the selected rows, one line each, as they are copied.
    QString selectedRowsText() const;
    void copySelectedRows();
    void saveLog();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTools();
    void buildTable();
    void showProblemsOnly(bool only);
    void setPaused(bool paused);
    void refreshStatistics();
    void refreshStatus();
    void refreshSoon();
    // The source row of a row of the table as it is shown (narrowed or not).
    int logRow(int shownRow) const;
    bool narrowed() const;

    TrafficRecorder& m_recorder;
    TrafficLogModel m_log;
    ProblemFilter m_problems;
    LogTableView* m_table = nullptr;
    TextLine* m_statistics = nullptr;
    QPushButton* m_resetStatistics = nullptr;
    TextLine* m_status = nullptr;
    ProblemLine* m_saveProblem = nullptr; // a save that failed, until it is closed
    // The figures change with every frame; they are read at this pace.
    QTimer m_refresh;
    QAction* m_pause = nullptr;
    QAction* m_problemsOnly = nullptr;
    QString m_saveDirectory;
    bool m_statisticsStale = true;
    bool m_following = true; // the newest row is in view: keep it so
    bool m_shownOnce = false;
};

} // namespace kv

#pragma once

#include "session/reading_history.h"
#include "session/traffic_recorder.h"

#include <QMainWindow>
#include <QPointer>

class QMenu;

namespace kv {

class FindSensorDialog;
class NetworkConnectDialog;
class frmMain;
class ChartWindow;
class OverviewWindow;
class TrafficLogWindow;
struct Reading;

// The tool's top-level window: the form `frmMain` as it was designed, with a
// menu bar above it that reaches the tool's further windows and a status bar
// below it that tells how the last exchange ended. The form keeps its size and
// every control its place; the window grows by the two bars' heights.
class ToolWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ToolWindow(QWidget* parent = nullptr);
    ~ToolWindow() override;

    // Runs the form's start-up; call once, before the window is shown.
    void load();

    frmMain& form() { return *m_form; }

    QMenu* toolsMenu() const { return m_tools; }

    // Everything that crosses the form's port, from the window's start on.
    TrafficRecorder& traffic() { return m_traffic; }
    // Opens the traffic log, or brings it to the front when it is open.
    void showTrafficLog();
    // The traffic log while it is open; null otherwise.
    TrafficLogWindow* trafficLog() const;
    // Opens the search for sensors over the form, or brings it to the front.
    void showFindSensor();
    // The search for sensors while it is open; null otherwise.
    FindSensorDialog* findSensor() const;

    // Asks for a gateway to connect the form to, or brings the question to the front.
    void showNetworkConnect();
    // The question while it is open; null otherwise.
    NetworkConnectDialog* networkConnect() const;

    // Every sound reading the form decoded, from the window's start on.
    const ReadingHistory& readings() const { return m_history; }
    // Opens the chart and recording window, or brings it to the front.
    void showChart();
    // The chart window once it was opened; null before.
    ChartWindow* chart() const;
    // Opens the overview of many sensors, or brings it to the front. It
    // stays when closed: its polling goes on out of sight.
    void showOverview();
    // The overview once it was opened; null before.
    OverviewWindow* overview() const;

private:
    void buildMenus();
    void showAbout();
    void buildStatusBar();
    void fitToForm();
    void noteFailedExchanges(qsizetype count);
    void takeReading(const Reading& reading);
    void takeReadingFrom(const Reading& reading, const QString& port);
    std::chrono::milliseconds pollingPeriod();

    frmMain* m_form;
    TrafficRecorder m_traffic;
    QMenu* m_tools = nullptr;
    QPointer<TrafficLogWindow> m_trafficLog;
    ReadingHistory m_history;
    // Kept when closed: a recording goes on while the chart is out of sight.
    QPointer<ChartWindow> m_chart;
    QPointer<FindSensorDialog> m_findSensor;
    QPointer<OverviewWindow> m_overview;
    QPointer<NetworkConnectDialog> m_networkConnect;
};

} // namespace kv

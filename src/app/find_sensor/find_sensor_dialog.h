#pragma once

#include "app/find_sensor/found_sensor_model.h"
#include "app/find_sensor/sweep_progress.h"
#include "session/sensor_sweep.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace kv {

class WindowLine;

// "查找传感器": looks for sensors on the ports and rates the user ticks,
// through station 250 and, where asked or where several sensors answer at
// once, station by station. The window's own line is released while it runs
// and given back afterwards; a sensor found can be taken over into the window
// with "使用", which sets the window up for it as the user would by hand.
class FindSensorDialog : public QDialog {
    Q_OBJECT

public:
    explicit FindSensorDialog(WindowLine& window, QWidget* parent = nullptr);
    ~FindSensorDialog() override;

    bool searching() const { return m_sweep.running(); }
    // The line the search talks on, for the window's traffic log to record.
    Line& searchLine() { return m_sweep.port(); }

    // Ends a running search and closes the dialog.
    void done(int result) override;

signals:
    // "全部加入总览": the sensors found on one port (by its number) at one rate.
    void addToOverview(int portNumber, int baudRate, const QList<std::uint8_t>& stations);

private:
    struct PortEntry {
        int number = 0;
        QString device;
        QString description; // as the window's port list says it in its tooltip
    };

    void buildControls();
    void fitColumns();
    QWidget* buildPortList();
    QWidget* buildRates();
    void connectSweep();
    void start();
    void stop();
    void useChosen();
    void addAllToOverview();
    SweepPlan plan() const;
    void showRunning(bool running);
    void refreshButtons();
    void showTrying(const QString& device, int baudRate, int station);
    void showFound(const FoundSensor& sensor);
    void showFinished(int found, qint64 elapsedMs);
    void showElapsed();
    void note(const QString& text);
    QString portName(const QString& device) const;
    QString where(const QString& device, int baudRate) const;

    WindowLine& m_window;
    QList<PortEntry> m_ports; // the ports with a device, in port-number order
    QHash<QString, int> m_portOfDevice;
    SensorSweep m_sweep;
    SweepProgress m_progress;
    FoundSensorModel m_found;
    QElapsedTimer m_clock;
    QTimer m_elapsedTicker;
    bool m_stoppedByUser = false;

    QListWidget* m_portList = nullptr;
    QHash<int, QCheckBox*> m_rates; // by rate
    QCheckBox* m_scan = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_trying = nullptr;
    QLabel* m_elapsed = nullptr;
    QProgressBar* m_bar = nullptr;
    QTableView* m_table = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QPushButton* m_use = nullptr;
    QPushButton* m_addAll = nullptr;
};

} // namespace kv

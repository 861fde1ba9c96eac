#pragma once

#include "app/overview/overview_lines.h"
#include "app/overview/overview_sensor.h"
#include "session/round_robin_poller.h"

#include <QList>
#include <QTimer>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kv {

// "传感器总览": every sensor of a bus (or of several lines) in one table, polled
// in turn at a period the user sets, through each line's exchange queue, so
// the window's own polling and the overview share a line without collisions.
// A sensor that stops answering turns its row red with the reason while the
// others go on; a value outside the sensor's limits is shown red and counted.
// The sensors, their names and limits are kept between runs (QSettings).
class OverviewWindow : public QWidget {
    Q_OBJECT

public:
    // The table's columns, in order.
    enum Column {
        Name,
        Line,
        Station,
        Temperature,
        Humidity,
        Result,
        Age,
        TemperatureRange,
        HumidityRange,
        Share,
        Breaches,
        Columns
    };

    OverviewWindow(OverviewLines::SharedQueue sharedQueue, QWidget* parent = nullptr);
    ~OverviewWindow() override;

    // Adds sensors, each once (a port and station already listed is left as it is).
    void addSensors(int port, int baudRate, const QList<std::uint8_t>& stations);
    const QList<OverviewSensor>& sensors() const { return m_sensors; }
    bool polling() const { return m_poller.running(); }

signals:
    // Every reading the overview takes, with the port it came through.
    void readingTaken(const kv::Reading& reading, const QString& port);

private:
    void build();
    void askToAdd();
    void removeChosen();
    void askForLimits();
    void start();
    void stop();
    void exportList();
    void importList();
    void takeReading(int index, const Reading& reading);
    void nameEdited(int row, int column);
    QList<int> chosenRows() const;
    void showRow(int row);
    void showAllRows();
    void refreshAges();
    void save() const;
    void restore();

    QList<OverviewSensor> m_sensors;
    QList<int> m_polled; // the sensor each index of the poller's list stands for
    OverviewLines m_lines;
    RoundRobinPoller m_poller;
    QTimer m_ageTimer;
    QTableWidget* m_table = nullptr;
    QLineEdit* m_period = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    bool m_showing = false; // rows being filled: edits are the program's
};

} // namespace kv

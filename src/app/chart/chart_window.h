#pragma once

#include "session/reading_history.h"
#include "session/reading_recorder.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <chrono>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace kv {

class ProblemLine;
class ReadingChart;
class SpanFigures;

// "记录与曲线": the chart of the session's sound readings, a pair of curves
// for each sensor, with the figures of the span shown for the sensor chosen
// beside it (the newest one read, until the user picks one), how long ago the
// last reading came, the recording of readings to CSV and the export of the
// chart as a picture. A recording or an export that fails is said in a line
// above the chart until it is closed: no box waits for anyone, so polling and
// the chart go on. It draws from a
// history its owner keeps from the program's start, so opening it late
// shows the whole run; redraws are gathered, at most one every 200 ms.
class ChartWindow : public QWidget {
    Q_OBJECT

public:
    explicit ChartWindow(const ReadingHistory& history, QWidget* parent = nullptr);
    ~ChartWindow() override;

    // The polling period: the last reading counts as old after three of them.
    // Zero: no period, it never does.
    void setPollingPeriod(std::chrono::milliseconds period);

public slots:
    // A sound reading was added to the history: it is recorded when a
    // recording is on, and drawn with the next redraw.
    void readingAdded(const kv::Reading& reading);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildSidePanel();
    QWidget* buildSensorChoice();
    void addSensor(const SensorId& sensor);
    void followNewestSensor();
    const SensorReadings* chosenSensor() const;
    QWidget* buildButtonRow();
    void redraw();
    void showSpanFigures();
    void showReadingAge();
    void startRecording();
    void stopRecording();
    void recordingFailed(RecordFailure failure, const QString& detail);
    void showRecordingState();
    void exportImage();

    const ReadingHistory& m_history;
    ReadingRecorder m_recorder;
    ProblemLine* m_problem;
    std::chrono::milliseconds m_period{1000};
    ReadingChart* m_chart;
    QComboBox* m_sensor;
    bool m_sensorPicked = false; // by the user: it no longer follows the newest
    SpanFigures* m_temperature;
    SpanFigures* m_humidity;
    QLabel* m_readingAge;
    QCheckBox* m_follow;
    QPushButton* m_startRecording;
    QPushButton* m_stopRecording;
    QLabel* m_recordingState;
    QTimer m_redrawTimer; // gathers readings into one redraw
    QTimer m_ageTimer;    // the age of the last reading goes on while none comes
    QElapsedTimer m_sinceLastReading;
};

} // namespace kv

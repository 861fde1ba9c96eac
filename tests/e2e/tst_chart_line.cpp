// The chart and the recording fed by the real window polling the simulated
// sensor: what the sensor sent is what the chart's figures and the file say.
#include "app/chart/chart_window.h"
#include "app/main_window.h"
#include "app/pick_list.h"
#include "app/problem_line.h"
#include "app/tool_window.h"
#include "file_dialog_answers.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "recorded_csv.h"
#include "sim_process.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

using namespace kv;
using namespace kv::test;

namespace {

// The tool's window with COM1 on the simulated sensor, shown and active.
struct Bench {
    explicit Bench(const QStringList& simArguments)
        : sim(simArguments)
        , com1(1, sim.devicePath())
    {
        window.load();
        window.show();
        QApplication::setActiveWindow(&window);
    }

    void type(QStringView name, const QString& text) { window.form().form().controls.setText(name, -1, text); }
    void click(QStringView name) { QTest::mouseClick(window.form().controls().get<QPushButton>(name), Qt::LeftButton); }
    int requests() { return window.form().controls().text(u"lblCounter").toInt(); }
    QString figure(const char* quantity, const char* name)
    {
        auto* group = window.chart()->findChild<QGroupBox*>(QLatin1String(quantity) + QLatin1String("Figures"));
        return group->findChild<QLabel*>(QLatin1String(name))->text();
    }

    MessageRecorder messages;
    FileDialogAnswers files;
    SimProcess sim;
    PortWiring com1;
    ToolWindow window;
};

// The temperatures (hundredths) of the measurement replies the simulator sent: 01 03 0A TT TT ...
QList<int> sentTemperatures(SimProcess& sim)
{
    QList<int> temperatures;
    for (const QString& line : sim.lines(QStringLiteral("TX"))) {
        const QStringList bytes = line.split(QLatin1Char(' '));
        if (bytes.size() == 15 && bytes[1] == QLatin1String("03"))
            temperatures << bytes[3].toInt(nullptr, 16) * 256 + bytes[4].toInt(nullptr, 16);
    }
    return temperatures;
}

QString hundredths(int value)
{
    return QString::number(value / 100.0, 'f', 2);
}

} // namespace

class tst_ChartLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void pollingFeedsTheChartFromTheStart();
    void recordingWritesEverySoundReading();
    void aFailedRecordingStopsOnlyItself_data();
    void aFailedRecordingStopsOnlyItself();
    void eachSensorHasItsOwnCurves();
};

void tst_ChartLine::pollingFeedsTheChartFromTheStart()
{
    Bench bench({QStringLiteral("--drift")});
    QVERIFY(QTest::qWaitForWindowActive(&bench.window));
    bench.type(u"txtTimerSet", QStringLiteral("50"));
    bench.click(u"cmdOneM");
    QTRY_VERIFY_WITH_TIMEOUT(bench.window.readings().size() >= 10, 5000);

    // Opened late, by its shortcut: it shows the whole run.
    QTest::keyClick(&bench.window, Qt::Key_R, Qt::ControlModifier);
    QTRY_VERIFY(bench.window.chart() && bench.window.chart()->isVisible());
    bench.click(u"cmdStopOnce");
    QTest::qWait(300); // the last reply in, and the chart's next redraw
    QTRY_COMPARE(bench.figure("temperature", "count").toInt(), static_cast<int>(bench.window.readings().size()));

    const QList<int> sent = sentTemperatures(bench.sim);
    QCOMPARE(sent.size(), static_cast<int>(bench.window.readings().size()));
    QCOMPARE(bench.figure("temperature", "minimum"), hundredths(*std::min_element(sent.begin(), sent.end())));
    QCOMPARE(bench.figure("temperature", "maximum"), hundredths(*std::max_element(sent.begin(), sent.end())));
    QCOMPARE(bench.figure("temperature", "last"), hundredths(sent.last()));
    double sum = 0;
    for (int value : sent)
        sum += value;
    QCOMPARE(bench.figure("temperature", "mean"), hundredths(qRound(sum / sent.size())));
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_ChartLine::recordingWritesEverySoundReading()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("run.csv"));
    Bench bench({QStringLiteral("--drift"), QStringLiteral("--fault"), QStringLiteral("bad-crc:0.3")});
    bench.files.answers << path;
    bench.window.showChart();
    QTest::mouseClick(bench.window.chart()->findChild<QPushButton*>(QStringLiteral("startRecording")), Qt::LeftButton);
    bench.type(u"txtTimerSet", QStringLiteral("50"));
    bench.click(u"cmdOneM");
    QTRY_VERIFY_WITH_TIMEOUT(bench.requests() >= 30, 5000);
    bench.click(u"cmdStopOnce");
    // The last request's answer may still be on its way: wait for the line to
    // tell how it ended before the recording is closed.
    const TrafficRecorder& traffic = bench.window.traffic();
    QTRY_VERIFY_WITH_TIMEOUT(
        traffic.size() > 0 && traffic.at(traffic.size() - 1).verdict != FrameVerdict::Request, 3000);
    QTest::qWait(50);
    QTest::mouseClick(bench.window.chart()->findChild<QPushButton*>(QStringLiteral("stopRecording")), Qt::LeftButton);

    const RecordedCsv recorded = readRecordedCsv(path);
    QCOMPARE(recorded.header, RecordHeader);
    QVERIFY(recorded.invalidLines.isEmpty());
    QVERIFY(recorded.cutOff.isEmpty());
    // One row per sound reading, none for the spoiled replies.
    const int spoiled = bench.sim.lines(QStringLiteral("FAULT")).size();
    QVERIFY(spoiled > 0);
    QCOMPARE(recorded.rows.size(), static_cast<int>(bench.window.readings().size()));
    QCOMPARE(recorded.rows.size(), sentTemperatures(bench.sim).size() - spoiled);
    for (const QStringList& row : recorded.rows) {
        QCOMPARE(row[1], QStringLiteral("1"));
        QCOMPARE(row[6], QStringLiteral("9600")); // the five registers cover the baud rate
        QCOMPARE(row[7], QStringLiteral("ok"));
    }
}

void tst_ChartLine::aFailedRecordingStopsOnlyItself_data()
{
    QTest::addColumn<bool>("fullDisk"); // else the file is deleted while recording
    QTest::newRow("disk full") << true;
    QTest::newRow("file deleted") << false;
}

// The recording fails with nobody there: the window says so in a line and
// polls on, requests reaching the sensor and readings reaching the chart.
void tst_ChartLine::aFailedRecordingStopsOnlyItself()
{
    QFETCH(bool, fullDisk);
    QTemporaryDir folder;
    const QString path = fullDisk ? QStringLiteral("/dev/full") : folder.filePath(QStringLiteral("run.csv"));
    Bench bench({});
    bench.files.answers << path;
    bench.window.showChart();
    ChartWindow* chart = bench.window.chart();
    QTest::mouseClick(chart->findChild<QPushButton*>(QStringLiteral("startRecording")), Qt::LeftButton);
    bench.type(u"txtTimerSet", QStringLiteral("50"));
    bench.click(u"cmdOneM");
    QTRY_VERIFY_WITH_TIMEOUT(bench.requests() >= 5, 5000);
    if (!fullDisk)
        QVERIFY(QFile::remove(path));
    auto* problem = chart->findChild<ProblemLine*>(QStringLiteral("problemLine"));
    QVERIFY(problem);
    QTRY_VERIFY_WITH_TIMEOUT(problem->isVisible(), 3000);

    const int requests = bench.sim.lines(QStringLiteral("RX")).size();
    const qsizetype readings = bench.window.readings().size();
    QTRY_VERIFY_WITH_TIMEOUT(bench.sim.lines(QStringLiteral("RX")).size() >= requests + 10, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(bench.window.readings().size() >= readings + 10, 5000);
    QVERIFY(problem->isVisible());
    bench.click(u"cmdStopOnce");
    QVERIFY(bench.messages.shown.isEmpty());
    QVERIFY(chart->findChild<QPushButton*>(QStringLiteral("startRecording"))->isEnabled());
}

// Station 1 on COM1 polled, then station 7 on COM2 (another line, 5 °C
// warmer), then station 1 again: two sensors, each with its own curves and
// figures, and station 1's curve broken while COM2 was read.
void tst_ChartLine::eachSensorHasItsOwnCurves()
{
    Bench bench({});
    SimProcess second(
        {QStringLiteral("--station"), QStringLiteral("7"), QStringLiteral("--temperature"), QStringLiteral("30")});
    PortWiring com2(2, second.devicePath());
    QVERIFY(QTest::qWaitForWindowActive(&bench.window));
    bench.type(u"txtTimerSet", QStringLiteral("100"));
    auto pollSensor = [&](const QString& port, const QString& station) {
        bench.window.form().controls().get<PickList>(u"Combo1")->chooseText(port);
        bench.type(u"txtStationID", station);
        const qsizetype before = bench.window.readings().size();
        bench.click(u"cmdOneM");
        QTRY_VERIFY_WITH_TIMEOUT(bench.window.readings().size() >= before + 5, 5000);
        bench.click(u"cmdStopOnce");
    };
    pollSensor(QStringLiteral("COM1"), QStringLiteral("1"));
    pollSensor(QStringLiteral("COM2"), QStringLiteral("7"));
    pollSensor(QStringLiteral("COM1"), QStringLiteral("1"));
    bench.window.showChart();

    auto* sensor = bench.window.chart()->findChild<QComboBox*>(QStringLiteral("sensor"));
    QTRY_COMPARE(sensor->count(), 2);
    QCOMPARE(sensor->itemText(0), QStringLiteral("COM1 站 1"));
    QCOMPARE(sensor->itemText(1), QStringLiteral("COM2 站 7"));
    QCOMPARE(sensor->currentIndex(), 0); // the newest read
    QCOMPARE(bench.figure("temperature", "maximum"), QStringLiteral("25.00"));
    sensor->setCurrentIndex(1);
    QCOMPARE(bench.figure("temperature", "minimum"), QStringLiteral("30.00"));

    auto* chart = bench.window.chart()->findChild<QCustomPlot*>(QStringLiteral("readingChart"));
    int station1Breaks = -1;
    for (int index = 0; index < chart->graphCount(); ++index) {
        if (chart->graph(index)->name() != QStringLiteral("COM1 站 1 温度"))
            continue;
        station1Breaks = 0;
        for (const QCPGraphData& point : *chart->graph(index)->data())
            station1Breaks += std::isnan(point.value) ? 1 : 0;
    }
    QVERIFY(station1Breaks >= 1);
    QVERIFY(bench.messages.shown.isEmpty());
}

QTEST_MAIN(tst_ChartLine)
#include "tst_chart_line.moc"

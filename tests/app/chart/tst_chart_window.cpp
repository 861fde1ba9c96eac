#include "app/chart/chart_window.h"
#include "app/problem_line.h"

#include "file_dialog_answers.h"
#include "message_recorder.h"
#include "recorded_csv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

using namespace kv;
using namespace std::chrono_literals;
using test::FileDialogAnswers;
using test::MessageRecorder;

namespace {

// A sound reading taken `agoMs` before now.
Reading soundReading(qint64 agoMs, int temperature, int humidity)
{
    Reading reading;
    reading.time = QDateTime::currentDateTime().addMSecs(-agoMs);
    reading.station = 1;
    reading.status = OutcomeKind::Ok;
    reading.values = Measurement{1, temperature, humidity, std::nullopt, std::nullopt, std::nullopt};
    return reading;
}

// A window over its own history, shown, with message boxes and the file dialog replaced.
struct ShownChart {
    MessageRecorder messages;
    FileDialogAnswers files;
    ReadingHistory history;
    std::unique_ptr<ChartWindow> window;

    // Readings kept before the window opens, as from the program's start.
    explicit ShownChart(const QList<Reading>& earlier = {})
    {
        for (const Reading& reading : earlier)
            history.append(reading, QStringLiteral("COM1"), 1s);
        window = std::make_unique<ChartWindow>(history);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("the chart window was not shown");
    }

    // What the main window does with every sound reading.
    void add(const Reading& reading, const QString& port = QStringLiteral("COM1"))
    {
        history.append(reading, port, 1s);
        window->readingAdded(reading);
    }

    QString figure(const char* quantity, const char* name) const
    {
        auto* group = window->findChild<QGroupBox*>(QLatin1String(quantity) + QLatin1String("Figures"));
        return group->findChild<QLabel*>(QLatin1String(name))->text();
    }
    QString label(const char* name) const { return window->findChild<QLabel*>(QLatin1String(name))->text(); }
    QCustomPlot* chart() const { return window->findChild<QCustomPlot*>(QStringLiteral("readingChart")); }
    QCheckBox* follow() const { return window->findChild<QCheckBox*>(QStringLiteral("follow")); }

    void click(const char* name) const
    {
        auto* button = window->findChild<QAbstractButton*>(QLatin1String(name));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Turns the mouse wheel over the middle of the plot: up zooms in.
    void wheel(int steps) const
    {
        const QPointF middle = QRectF(chart()->axisRect()->rect()).center();
        QWheelEvent event(middle, chart()->mapToGlobal(middle), {}, QPoint(0, 120 * steps), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart(), &event);
    }
};

// Pixels of a curve's colour inside the plot's axes.
int curvePixels(QCustomPlot* chart, bool reddish)
{
    const QImage image = chart->grab().toImage();
    const QRect inside = chart->axisRect()->rect().adjusted(2, 2, -2, -2);
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (reddish ? pixel.red() > 150 && pixel.green() < 120 && pixel.blue() < 110
                        : pixel.blue() > 150 && pixel.red() < 110 && pixel.green() < 150)
                ++count;
        }
    }
    return count;
}

bool isRed(QLabel* label)
{
    const QImage image = label->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 180 && pixel.green() < 90 && pixel.blue() < 90)
                return true;
        }
    }
    return false;
}

// Readings a second apart up to a minute ago: temperatures 20.00, 20.50, ...
// with a dip to 12.25 at the third; humidity 50.00 down by 1.00 each.
QList<Reading> tenEarlierReadings()
{
    QList<Reading> readings;
    for (int i = 0; i < 10; ++i)
        readings.append(soundReading(69000 - 1000 * i, i == 2 ? 1225 : 2000 + 50 * i, 5000 - 100 * i));
    return readings;
}

} // namespace

class tst_ChartWindow : public QObject {
    Q_OBJECT

private slots:
    void opensLateWithTheWholeRun();
    void followsTheNewestReading();
    void zoomAndPanShowTheirSpan();
    void curvesCanBeHidden();
    void oldReadingTurnsRed();
    void recordsSoundReadings();
    void recordingFailure_data();
    void recordingFailure();
    void exportsThePicture();
    void eachSensorIsItsOwnSeriesWithGaps();
    void timeLabelsApartAtTheSmallestSize();

private:
    QTemporaryDir m_dir;
};

void tst_ChartWindow::opensLateWithTheWholeRun()
{
    const QList<Reading> earlier = tenEarlierReadings();
    ShownChart shown(earlier);
    QCOMPARE(shown.window->windowTitle(), QStringLiteral("记录与曲线"));
    QVERIFY(!shown.window->isModal());
    QCOMPARE(shown.figure("temperature", "count"), QStringLiteral("10"));
    QCOMPARE(shown.figure("temperature", "minimum"), QStringLiteral("12.25"));
    QCOMPARE(shown.figure("temperature", "maximum"), QStringLiteral("24.50"));
    // (20.00 + 20.50 + 12.25 + 21.50 + ... + 24.50) / 10 = 21.375, shown to hundredths
    QCOMPARE(shown.figure("temperature", "mean"), QStringLiteral("21.38"));
    QCOMPARE(shown.figure("temperature", "last"), QStringLiteral("24.50"));
    QCOMPARE(shown.figure("temperature", "lastTime"), earlier.last().time.toString(QStringLiteral("HH:mm:ss")));
    QCOMPARE(shown.figure("humidity", "minimum"), QStringLiteral("41.00"));
    QCOMPARE(shown.figure("humidity", "maximum"), QStringLiteral("50.00"));
    QCOMPARE(shown.figure("humidity", "mean"), QStringLiteral("45.50"));
    QVERIFY(shown.follow()->isChecked());
}

void tst_ChartWindow::followsTheNewestReading()
{
    ShownChart shown(tenEarlierReadings());
    shown.add(soundReading(0, 3000, 6000));
    QTRY_COMPARE(shown.figure("temperature", "count"), QStringLiteral("11"));
    QCOMPARE(shown.figure("temperature", "last"), QStringLiteral("30.00"));
    QCOMPARE(shown.figure("humidity", "maximum"), QStringLiteral("60.00"));

    // Zoomed in, it stays where the user put it.
    shown.wheel(3);
    QVERIFY(!shown.follow()->isChecked());
    const QString countWhileZoomed = shown.figure("temperature", "count");
    QVERIFY(countWhileZoomed.toInt() < 11);
    shown.add(soundReading(0, 3100, 6100));
    QTest::qWait(400); // longer than the redraws are gathered
    QCOMPARE(shown.figure("temperature", "count"), countWhileZoomed);

    // "全部" shows the whole run again and follows it.
    shown.click("showAll");
    QVERIFY(shown.follow()->isChecked());
    QCOMPARE(shown.figure("temperature", "count"), QStringLiteral("12"));
    shown.add(soundReading(0, 3200, 6200));
    QTRY_COMPARE(shown.figure("temperature", "count"), QStringLiteral("13"));
    QCOMPARE(shown.figure("temperature", "last"), QStringLiteral("32.00"));
}

void tst_ChartWindow::zoomAndPanShowTheirSpan()
{
    ShownChart shown(tenEarlierReadings());
    QCustomPlot* chart = shown.chart();
    const QCPRange whole = chart->xAxis->range();
    shown.wheel(2);
    const QCPRange zoomed = chart->xAxis->range();
    QVERIFY(zoomed.size() < whole.size() * 0.9);

    // Dragging to the right brings earlier readings in and the later ones out.
    const QPoint middle = chart->axisRect()->rect().center();
    QTest::mousePress(chart, Qt::LeftButton, {}, middle);
    QTest::mouseMove(chart, middle + QPoint(chart->axisRect()->width() / 4, 0));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, middle + QPoint(chart->axisRect()->width() / 4, 0));
    const QCPRange panned = chart->xAxis->range();
    QVERIFY(panned.upper < zoomed.upper);
    QVERIFY(qAbs(panned.size() - zoomed.size()) < 0.002);
    QVERIFY(!shown.follow()->isChecked());

    // The figures are those of the readings on screen.
    const SpanStatistics expected = shown.history.sensors().front().statistics(
        Quantity::Temperature, std::llround(panned.lower * 1000), std::llround(panned.upper * 1000));
    QVERIFY(expected.count > 0 && expected.count < 10);
    QCOMPARE(shown.figure("temperature", "count"), QString::number(expected.count));
    QCOMPARE(shown.figure("temperature", "maximum"), hundredthsText(expected.maximum));
    QCOMPARE(shown.figure("temperature", "last"), hundredthsText(expected.last));

    // Ticking "跟随最新" again brings the newest reading back to the right edge, keeping the width.
    shown.follow()->click();
    QCOMPARE(shown.figure("temperature", "last"), QStringLiteral("24.50"));
    QVERIFY(qAbs(chart->xAxis->range().size() - zoomed.size()) < 0.002); // kept to the millisecond
}

void tst_ChartWindow::curvesCanBeHidden()
{
    ShownChart shown(tenEarlierReadings());
    QCustomPlot* chart = shown.chart();
    chart->replot();
    QVERIFY(curvePixels(chart, true) > 20);
    QVERIFY(curvePixels(chart, false) > 20);

    auto* shownBox = shown.window->findChild<QGroupBox*>(QStringLiteral("temperatureFigures"))
                         ->findChild<QCheckBox*>(QStringLiteral("curveShown"));
    QTest::mouseClick(shownBox, Qt::LeftButton, {}, QPoint(8, shownBox->height() / 2));
    QVERIFY(!shownBox->isChecked());
    chart->replot();
    QCOMPARE(curvePixels(chart, true), 0);
    QVERIFY(curvePixels(chart, false) > 20);
    // The figures stay: hiding a curve is not forgetting its readings.
    QCOMPARE(shown.figure("temperature", "count"), QStringLiteral("10"));
}

void tst_ChartWindow::oldReadingTurnsRed()
{
    // Nothing yet.
    {
        ShownChart shown;
        QCOMPARE(shown.label("readingAge"), QStringLiteral("尚无读数"));
        QVERIFY(!isRed(shown.window->findChild<QLabel*>(QStringLiteral("readingAge"))));
    }
    // Opened late: the last reading, 20 s ago, is older than three 1000 ms periods.
    {
        ShownChart shown({soundReading(20000, 2500, 5000)});
        auto* age = shown.window->findChild<QLabel*>(QStringLiteral("readingAge"));
        QVERIFY2(age->text().startsWith(QLatin1String("20.")), qPrintable(age->text()));
        QVERIFY(age->text().endsWith(QStringLiteral(" 秒")));
        QVERIFY(isRed(age));
        // A slow poll makes it young again.
        shown.window->setPollingPeriod(60s);
        QVERIFY(!isRed(age));
    }
    // A reading that just came is not old; three periods later it is, until the next one comes.
    {
        ShownChart shown;
        auto* age = shown.window->findChild<QLabel*>(QStringLiteral("readingAge"));
        shown.window->setPollingPeriod(400ms);
        shown.add(soundReading(0, 2500, 5000));
        QTRY_VERIFY(age->text().endsWith(QStringLiteral(" 秒")));
        QVERIFY(!isRed(age));
        QTRY_VERIFY_WITH_TIMEOUT(isRed(age), 5000);
        shown.add(soundReading(0, 2500, 5000));
        QTRY_VERIFY_WITH_TIMEOUT(!isRed(age), 1000);
    }
}

void tst_ChartWindow::recordsSoundReadings()
{
    ShownChart shown;
    const QString file = m_dir.filePath(QStringLiteral("run.csv"));
    shown.files.answers = {file};
    shown.click("startRecording");
    QCOMPARE(shown.files.asked.size(), 1);
    QVERIFY(shown.files.asked[0].appends);
    QCOMPARE(shown.files.asked[0].defaultSuffix, QStringLiteral("csv"));
    QCOMPARE(shown.label("recordingState"), QStringLiteral("正在记录 run.csv\n已写 0 行"));

    shown.add(soundReading(0, 2534, 4507));
    Reading failed = soundReading(0, 0, 0);
    failed.status = OutcomeKind::NoReply;
    shown.window->readingAdded(failed); // as the main window never would: still no row
    shown.add(soundReading(0, -120, 4000));
    QCOMPARE(shown.label("recordingState"), QStringLiteral("正在记录 run.csv\n已写 2 行"));
    shown.click("stopRecording");
    QCOMPARE(shown.label("recordingState"), QStringLiteral("未在记录"));
    shown.add(soundReading(0, 2000, 4000));

    const test::RecordedCsv recorded = test::readRecordedCsv(file);
    QCOMPARE(recorded.header, test::RecordHeader);
    QCOMPARE(recorded.invalidLines, QStringList());
    QCOMPARE(recorded.rows.size(), 2);
    QCOMPARE(recorded.rows[0].mid(2, 2), (QStringList{QStringLiteral("25.34"), QStringLiteral("45.07")}));
    QCOMPARE(recorded.rows[1].value(2), QStringLiteral("-1.20"));
    QVERIFY(shown.messages.shown.isEmpty());

    // Cancelling the dialog starts nothing.
    shown.click("startRecording");
    QCOMPARE(shown.label("recordingState"), QStringLiteral("未在记录"));
}

void tst_ChartWindow::recordingFailure_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("says");
    QTest::newRow("disk full") << "/dev/full"
                               << "失败（磁盘可能已满），记录已停止";
    QTest::newRow("no such folder") << "missing/run.csv"
                                    << "无法打开记录文件";
    QTest::newRow("something else") << "notes.csv"
                                    << "不是记录文件";
    QTest::newRow("file deleted") << "gone.csv"
                                  << "已被删除或改名，记录已停止";
}

// Said in a line of the window until it is closed, with no box that would
// hold up the polling; the chart goes on.
void tst_ChartWindow::recordingFailure()
{
    QFETCH(QString, file);
    QFETCH(QString, says);
    QFile notes(m_dir.filePath(QStringLiteral("notes.csv")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("a,b\n1,2\n");
    notes.close();

    ShownChart shown;
    const QString path = file.startsWith(QLatin1Char('/')) ? file : m_dir.filePath(file);
    shown.files.answers = {path};
    shown.click("startRecording");
    shown.add(soundReading(0, 2500, 5000));
    if (file == QLatin1String("gone.csv"))
        QVERIFY(QFile::remove(path));
    shown.add(soundReading(0, 2500, 5000));
    QVERIFY(shown.messages.shown.isEmpty());
    auto* problem = shown.window->findChild<ProblemLine*>(QStringLiteral("problemLine"));
    QVERIFY(problem->isVisible());
    QVERIFY2(problem->text().contains(says), qPrintable(problem->text()));
    QCOMPARE(shown.label("recordingState"), QStringLiteral("未在记录"));
    QVERIFY(shown.window->findChild<QPushButton*>(QStringLiteral("startRecording"))->isEnabled());
    QVERIFY(!shown.window->findChild<QPushButton*>(QStringLiteral("stopRecording"))->isEnabled());
    // The chart goes on, and the line stays until it is closed.
    shown.add(soundReading(0, 2500, 5000));
    QTRY_COMPARE(shown.figure("temperature", "count"), QStringLiteral("3"));
    QVERIFY(problem->isVisible());
    shown.click("dismissProblem");
    QVERIFY(!problem->isVisible());
}

void tst_ChartWindow::exportsThePicture()
{
    ShownChart shown(tenEarlierReadings());
    const QString file = m_dir.filePath(QStringLiteral("chart.png"));
    shown.files.answers = {file};
    shown.click("exportImage");
    QCOMPARE(shown.files.asked.value(0).defaultSuffix, QStringLiteral("png"));
    const QImage picture(file);
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), shown.chart()->size());
    QVERIFY(shown.messages.shown.isEmpty());

    shown.files.answers = {m_dir.filePath(QStringLiteral("missing/chart.png"))};
    shown.click("exportImage");
    QVERIFY(shown.messages.shown.isEmpty());
    QVERIFY(shown.window->findChild<ProblemLine*>()->text().contains(QStringLiteral("无法保存图片")));
}

// Station 1 on COM1, then station 7 on COM2, then station 1 again: two
// sensors, and station 1's curves broken where COM2 was read.
void tst_ChartWindow::eachSensorIsItsOwnSeriesWithGaps()
{
    ShownChart shown;
    auto read = [&](const char* port, std::uint8_t station, qint64 agoMs, int temperature) {
        Reading reading = soundReading(agoMs, temperature, 5000 + temperature / 10);
        reading.station = station;
        reading.values.station = station;
        shown.add(reading, QLatin1String(port));
    };
    for (qint64 ago : {20000, 19000, 18000})
        read("COM1", 1, ago, 2000);
    for (qint64 ago : {17000, 16000})
        read("COM2", 7, ago, 3000);
    for (qint64 ago : {15000, 14000})
        read("COM1", 1, ago, 2100);
    QTRY_COMPARE(shown.figure("temperature", "count"), QStringLiteral("5"));

    QCustomPlot* chart = shown.chart();
    QStringList legend;
    for (int item = 0; item < chart->legend->itemCount(); ++item)
        legend << static_cast<QCPPlottableLegendItem*>(chart->legend->item(item))->plottable()->name();
    QCOMPARE(legend,
        (QStringList{QStringLiteral("COM1 站 1 温度"), QStringLiteral("COM1 站 1 湿度"),
            QStringLiteral("COM2 站 7 温度"), QStringLiteral("COM2 站 7 湿度")}));

    // The figures are the chosen sensor's: the newest read, until another is picked.
    auto* sensor = shown.window->findChild<QComboBox*>(QStringLiteral("sensor"));
    QCOMPARE(sensor->currentText(), QStringLiteral("COM1 站 1"));
    QCOMPARE(shown.figure("temperature", "maximum"), QStringLiteral("21.00"));
    QTest::keyClick(sensor, Qt::Key_Down);
    QCOMPARE(sensor->currentText(), QStringLiteral("COM2 站 7"));
    QCOMPARE(shown.figure("temperature", "count"), QStringLiteral("2"));
    QCOMPARE(shown.figure("temperature", "minimum"), QStringLiteral("30.00"));
    QCOMPARE(shown.figure("humidity", "mean"), QStringLiteral("53.00"));
    read("COM1", 1, 13000, 2100);
    QTest::qWait(400); // longer than the redraws are gathered
    QCOMPARE(sensor->currentText(), QStringLiteral("COM2 站 7"));

    // Station 1's line breaks once, between its two runs; station 7's does not.
    auto breaks = [&](const QString& name) {
        QList<double> keys;
        for (int index = 0; index < chart->graphCount(); ++index) {
            if (chart->graph(index)->name() != name)
                continue;
            for (const QCPGraphData& point : *chart->graph(index)->data()) {
                if (std::isnan(point.value))
                    keys << point.key * 1000;
            }
        }
        return keys;
    };
    const QList<double> station1 = breaks(QStringLiteral("COM1 站 1 温度"));
    QCOMPARE(station1.size(), 1);
    const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
    QVERIFY(station1[0] > now - 18500 && station1[0] < now - 14500);
    QVERIFY(breaks(QStringLiteral("COM2 站 7 温度")).isEmpty());
}

// Shrunk as far as it goes, over a minute and over two days, no time label
// runs into the next.
void tst_ChartWindow::timeLabelsApartAtTheSmallestSize()
{
    ShownChart shown(tenEarlierReadings());
    shown.window->resize(1, 1);
    QCustomPlot* chart = shown.chart();
    const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000;
    for (double span : {60.0, 2 * 86400.0}) {
        chart->xAxis->setRange(now - span, now);
        chart->replot();
        chart->replot(); // a changed tick count shows with the next replot
        const QVector<double> ticks = chart->xAxis->tickVector();
        const QVector<QString> labels = chart->xAxis->tickVectorLabels();
        const QFontMetrics metrics(chart->xAxis->tickLabelFont());
        QVERIFY(ticks.size() >= (span < 86400 ? 2 : 1));
        for (qsizetype index = 1; index < ticks.size(); ++index) {
            const double apart
                = chart->xAxis->coordToPixel(ticks[index]) - chart->xAxis->coordToPixel(ticks[index - 1]);
            const double needed
                = (metrics.horizontalAdvance(labels[index]) + metrics.horizontalAdvance(labels[index - 1])) / 2.0;
            QVERIFY2(apart > needed + 4, qPrintable(labels[index - 1] + QLatin1Char(' ') + labels[index]));
        }
    }
}

QTEST_MAIN(tst_ChartWindow)
#include "tst_chart_window.moc"

// Measures the chart window with a long run in its history, the plot library
// on its own with the same run, and the recording of a row.
//
//   chart_bench window HOURS PERIOD_MS   the window over HOURS of readings at PERIOD_MS
//   chart_bench library HOURS PERIOD_MS  the plot handed every point itself
//   chart_bench record ROWS [FOLDER]     rows written to a CSV file, each synced to disk
//
// Prints "key value" lines; scripts/bench turns them into docs/performance.md.
// A redraw is timed from the user's action (the "全部" button, a new span on
// the time axis) to the plot and the figures beside it painted, offscreen.
#include "app/chart/chart_window.h"
#include "percentile.h"
#include "process_figures.h"
#include "session/reading_recorder.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace kv;
using test::monotonicSeconds;
using test::peakResidentKilobytes;
using test::residentKilobytes;

using kv::bench::percentile;

namespace {

constexpr int Rounds = 30;

void printSpread(const char* name, const std::vector<double>& millis)
{
    std::printf("%s_median_ms %.3f\n%s_p90_ms %.3f\n%s_worst_ms %.3f\n", name, percentile(millis, 0.5), name,
        percentile(millis, 0.9), name, percentile(millis, 1.0));
}

// A slow drift with a little noise, as a sensor in a room shows.
int temperatureAt(qint64 index)
{
    return static_cast<int>(2500 + 300 * std::sin(static_cast<double>(index) / 50000.0)) + int(index * 7919 % 13) - 6;
}

int humidityAt(qint64 index)
{
    return static_cast<int>(5000 + 1000 * std::cos(static_cast<double>(index) / 70000.0)) + int(index * 104729 % 11)
        - 5;
}

qint64 readingsIn(double hours, int periodMs)
{
    return static_cast<qint64>(hours * 3600 * 1000 / periodMs);
}

// The window over a run that ended just now; times every step of Rounds.
template <typename Step>
std::vector<double> timeRedraws(ChartWindow& window, QCustomPlot& chart, Step step)
{
    std::vector<double> millis;
    for (int round = 0; round < Rounds; ++round) {
        const double started = monotonicSeconds();
        step(round);
        chart.replot(QCustomPlot::rpImmediateRefresh);
        window.repaint(); // the figures beside the chart
        millis.push_back((monotonicSeconds() - started) * 1000);
    }
    return millis;
}

int measureWindow(double hours, int periodMs)
{
    const qint64 readings = readingsIn(hours, periodMs);
    const long residentAtStart = residentKilobytes();
    ReadingHistory history;
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - readings * periodMs;
    double appendSeconds = 0;
    for (qint64 index = 0; index < readings; ++index) {
        Reading reading;
        reading.time = QDateTime::fromMSecsSinceEpoch(start + index * periodMs);
        reading.station = 1;
        reading.status = OutcomeKind::Ok;
        reading.values = Measurement{1, temperatureAt(index), humidityAt(index), 0, 0, 9600};
        const double appendStarted = monotonicSeconds();
        history.append(reading, QStringLiteral("COM1"), std::chrono::milliseconds(periodMs));
        appendSeconds += monotonicSeconds() - appendStarted;
    }
    const long residentWithHistory = residentKilobytes();

    ChartWindow window(history);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto* chart = window.findChild<QCustomPlot*>(QStringLiteral("readingChart"));
    auto* showAll = window.findChild<QPushButton*>(QStringLiteral("showAll"));
    const double lastSeconds = static_cast<double>(*history.lastTimeMs()) / 1000;

    const std::vector<double> whole = timeRedraws(window, *chart, [&](int) { showAll->click(); });
    const std::vector<double> minute = timeRedraws(window, *chart, [&](int round) {
        const double shift = round * 0.05;
        chart->xAxis->setRange(lastSeconds - 60 - shift, lastSeconds - shift);
    });
    QCoreApplication::processEvents();

    std::printf("readings %lld\nhours %.2f\nperiod_ms %d\n", static_cast<long long>(readings), hours, periodMs);
    std::printf("append_us %.3f\n", appendSeconds * 1e6 / static_cast<double>(std::max<qint64>(readings, 1)));
    std::printf("resident_start_kb %ld\nresident_history_kb %ld\nresident_end_kb %ld\nresident_peak_kb %ld\n",
        residentAtStart, residentWithHistory, residentKilobytes(), peakResidentKilobytes());
    printSpread("whole", whole);
    printSpread("minute", minute);
    return 0;
}

// For comparison: the plot handed every point, drawing them by its own means.
int measureLibrary(double hours, int periodMs)
{
    const qint64 readings = readingsIn(hours, periodMs);
    const long residentAtStart = residentKilobytes();
    QCustomPlot plot;
    plot.resize(750, 520); // about the chart's size in the window
    QCPGraph* temperature = plot.addGraph(plot.xAxis, plot.yAxis);
    QCPGraph* humidity = plot.addGraph(plot.xAxis, plot.yAxis2);
    plot.yAxis2->setVisible(true);
    plot.xAxis->setTicker(QSharedPointer<QCPAxisTickerDateTime>::create());
    const double start = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000 - hours * 3600;
    {
        QVector<QCPGraphData> temperatures(readings);
        QVector<QCPGraphData> humidities(readings);
        for (qint64 index = 0; index < readings; ++index) {
            const double key = start + static_cast<double>(index * periodMs) / 1000;
            temperatures[index] = QCPGraphData(key, temperatureAt(index) / 100.0);
            humidities[index] = QCPGraphData(key, humidityAt(index) / 100.0);
        }
        temperature->data()->set(temperatures, true);
        humidity->data()->set(humidities, true);
    }
    plot.yAxis->setRange(20, 30);
    plot.yAxis2->setRange(35, 65);
    plot.show();
    if (!QTest::qWaitForWindowExposed(&plot))
        return 1;
    const double end = start + static_cast<double>((readings - 1) * periodMs) / 1000;
    auto time = [&](double from, double to) {
        std::vector<double> millis;
        for (int round = 0; round < Rounds; ++round) {
            const double started = monotonicSeconds();
            plot.xAxis->setRange(from - round * 0.05, to - round * 0.05);
            plot.replot(QCustomPlot::rpImmediateRefresh);
            millis.push_back((monotonicSeconds() - started) * 1000);
        }
        return millis;
    };
    printSpread("library_whole", time(start, end));
    printSpread("library_minute", time(end - 60, end));
    std::printf(
        "library_resident_start_kb %ld\nlibrary_resident_peak_kb %ld\n", residentAtStart, peakResidentKilobytes());
    return 0;
}

int measureRecording(int rows, const QString& folder)
{
    QTemporaryDir dir(folder + QStringLiteral("/kv9240b-record-XXXXXX"));
    ReadingRecorder recorder;
    if (!dir.isValid() || !recorder.start(dir.filePath(QStringLiteral("bench.csv"))))
        return 1;
    std::vector<double> millis;
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    for (int row = 0; row < rows && recorder.isRecording(); ++row) {
        Reading reading;
        reading.time = QDateTime::fromMSecsSinceEpoch(start + 50LL * row);
        reading.station = 1;
        reading.status = OutcomeKind::Ok;
        reading.values = Measurement{1, temperatureAt(row), humidityAt(row), 0, 0, 9600};
        const double started = monotonicSeconds();
        recorder.record(reading);
        millis.push_back((monotonicSeconds() - started) * 1000);
    }
    std::printf("rows %lld\n", static_cast<long long>(recorder.rowsWritten()));
    std::printf("row_median_ms %.3f\nrow_p99_ms %.3f\nrow_worst_ms %.3f\n", percentile(millis, 0.5),
        percentile(millis, 0.99), percentile(millis, 1.0));
    return recorder.rowsWritten() == rows ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if ((mode == QLatin1String("window") || mode == QLatin1String("library")) && args.size() == 4) {
        const double hours = args[2].toDouble();
        const int periodMs = args[3].toInt();
        if (hours > 0 && periodMs > 0)
            return mode == QLatin1String("window") ? measureWindow(hours, periodMs) : measureLibrary(hours, periodMs);
    }
    if (mode == QLatin1String("record") && args.size() >= 3 && args[2].toInt() > 0)
        return measureRecording(args[2].toInt(), args.value(3, QDir::tempPath()));
    std::fprintf(stderr, "usage: chart_bench window|library HOURS PERIOD_MS | record ROWS [FOLDER]\n");
    return 2;
}

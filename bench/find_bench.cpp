// Measures the window's search for sensors where nothing answers: the dialog
// driven as a user drives it, on a simulated sensor that never replies.
//
//   find_bench RUNS   RUNS station-250 sweeps of one port over the four rates,
//                     then one scan of every station at 9600
//
// Prints "key value" lines; scripts/bench turns them into docs/performance.md.
// A search is timed from the click on "开始" to the button taking clicks again,
// which is when the dialog shows the search ended.
#include "app/find_sensor/find_sensor_dialog.h"
#include "app/message_box.h"
#include "app/tool_window.h"
#include "process_figures.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace kv;
using test::monotonicSeconds;

namespace {

// Ticks the one port and the rates given, and the station scan as asked.
void choose(FindSensorDialog& dialog, const QString& device, const QList<int>& rates, bool scan)
{
    auto* ports = dialog.findChild<QListWidget*>(QStringLiteral("portList"));
    for (int row = 0; row < ports->count(); ++row) {
        QListWidgetItem* item = ports->item(row);
        item->setCheckState(item->data(Qt::UserRole).toString() == device ? Qt::Checked : Qt::Unchecked);
    }
    for (int rate : {2400, 4800, 9600, 19200})
        dialog.findChild<QCheckBox*>(QStringLiteral("rate%1").arg(rate))->setChecked(rates.contains(rate));
    dialog.findChild<QCheckBox*>(QStringLiteral("scanStations"))->setChecked(scan);
}

// Ends the loop when the watched widget is enabled again.
class EnabledWatch : public QObject {
public:
    explicit EnabledWatch(QEventLoop& loop)
        : m_loop(loop)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled())
            m_loop.quit();
        return false;
    }

private:
    QEventLoop& m_loop;
};

// Seconds from the click on "开始" to the search's end; negative when it did not end in time.
double search(FindSensorDialog& dialog)
{
    auto* start = dialog.findChild<QPushButton*>(QStringLiteral("startButton"));
    QEventLoop loop;
    // The moment the button takes clicks again, not the next look at it.
    EnabledWatch watch(loop);
    start->installEventFilter(&watch);
    QTimer::singleShot(120000, &loop, [&loop] { loop.exit(1); });
    const double began = monotonicSeconds();
    QTest::mouseClick(start, Qt::LeftButton);
    const bool ended = loop.exec() == 0;
    start->removeEventFilter(&watch);
    return ended ? monotonicSeconds() - began : -1;
}

int run(int runs)
{
    test::SimProcess sim({QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--fault"),
        QStringLiteral("no-reply:1"), QStringLiteral("--quiet")});
    if (!sim.isRunning())
        return 1;
    test::PortWiring com1(1, sim.devicePath());
    int messages = 0;
    MessageBox::setPresenter([&messages](const MessageBox::Message&) { ++messages; });
    ToolWindow window;
    window.load();
    window.show();
    window.showFindSensor();
    FindSensorDialog* dialog = window.findSensor();
    if (!dialog)
        return 1;

    std::printf("sweep_seconds");
    choose(*dialog, sim.devicePath(), {2400, 4800, 9600, 19200}, false);
    for (int i = 0; i < runs; ++i)
        std::printf(" %.3f", search(*dialog));
    std::printf("\n");
    choose(*dialog, sim.devicePath(), {9600}, true);
    const double cpuBefore = test::cpuSeconds();
    std::printf("scan_seconds %.3f\n", search(*dialog));
    std::printf("scan_cpu_seconds %.3f\n", test::cpuSeconds() - cpuBefore);
    std::printf("messages %d\n", messages);
    MessageBox::setPresenter({});
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool isNumber = false;
    const int runs = args.value(1).toInt(&isNumber);
    if (args.size() != 2 || !isNumber || runs < 1) {
        std::fprintf(stderr, "usage: find_bench RUNS\n");
        return 2;
    }
    return run(runs);
}

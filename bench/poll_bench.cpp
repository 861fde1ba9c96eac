// Measures the window polling the simulated sensor, or its start-up.
//
//   poll_bench poll BAUD PERIOD_MS POLLS [REGISTERS]
//   poll_bench startup RUNS
//   poll_bench log BAUD PERIOD_MS POLLS BLOCKS fresh|full
//   poll_bench log-scroll ROWS
//   poll_bench log-burst
//
// Prints "key value" lines; scripts/bench turns them into docs/performance.md.
// Every time is taken on CLOCK_MONOTONIC, the clock the simulator stamps its
// log with, so a reply's last byte and its values in the window compare.
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/pick_list.h"
#include "overview_bench.h"
#include "percentile.h"
#include "process_figures.h"
#include "pty_pair.h"
#include "serial/comm_port.h"
#include "session/exchange_queue.h"
#include "sim_process.h"
#include "simulated_window.h"
#include "traffic_log_bench.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kv;
using test::cpuSeconds;
using test::monotonicSeconds;
using test::residentKilobytes;
using test::systemSeconds;

using kv::bench::percentile;

namespace {

void printSpread(const char* name, const std::vector<double>& millis)
{
    std::printf("%s_median_ms %.3f\n%s_p99_ms %.3f\n%s_worst_ms %.3f\n", name, percentile(millis, 0.5), name,
        percentile(millis, 0.99), name, percentile(millis, 1.0));
}

int poll(int baud, int periodMs, int polls, int registers)
{
    test::SimulatedWindow bench(
        {QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--turnaround-ms"), QStringLiteral("5")});
    if (!bench.sim.isRunning())
        return 1;
    test::SimProcess& sim = bench.sim;
    frmMain& window = bench.window;
    window.controls().get<PickList>(u"Combo2")->chooseText(QString::number(baud));
    window.form().controls.setText(u"txtDataLength", QString::number(registers));
    window.form().controls.setText(u"txtTimerSet", QString::number(periodMs));

    std::vector<double> ticks;
    std::vector<double> decodedAt;
    int sound = 0;
    // A real event loop: QTest's waiting helpers nap between their turns and
    // would add their naps to every figure.
    QEventLoop loop;
    // Memory is read once the first polls have warmed the caches up: what it
    // does after that is the growth that would matter over hours.
    constexpr std::size_t WarmUpPolls = 50;
    long residentAfterWarmUp = 0;
    QObject::connect(&window.pollTimer(), &QTimer::timeout, [&] {
        ticks.push_back(monotonicSeconds());
        if (ticks.size() == WarmUpPolls)
            residentAfterWarmUp = residentKilobytes();
        if (static_cast<int>(ticks.size()) >= polls)
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QObject::connect(&window.exchange(), &ExchangeQueue::finished, [&](quint64, const Outcome& outcome) {
        if (outcome.reply.isEmpty())
            return;
        decodedAt.push_back(monotonicSeconds());
        if (window.frontLamp() == Lamp::Connected && window.controls().text(u"txtValue", 0) == QLatin1String("25.00"))
            ++sound;
    });

    const long residentAtStart = residentKilobytes();
    const double cpuAtStart = cpuSeconds();
    const double systemAtStart = systemSeconds();
    emit window.controls().get<QPushButton>(u"cmdOneM")->clicked();
    QTimer::singleShot(polls * periodMs * 2 + 5000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool finished = static_cast<int>(ticks.size()) >= polls;
    emit window.controls().get<QPushButton>(u"cmdStopOnce")->clicked();
    const double cpuUsed = cpuSeconds() - cpuAtStart;
    QTimer::singleShot(std::max(200, periodMs), &loop, &QEventLoop::quit); // the last reply
    loop.exec();
    const long residentAtEnd = residentKilobytes();

    // Each decoded reply against the reply whose last byte went out nearest to
    // it: the simulator stamps a byte just after writing it, so on a second
    // core the window may have it before the stamp is taken.
    const QList<test::SimProcess::Entry> sent = sim.entries(QStringLiteral("TX"));
    std::vector<double> latencies;
    for (double at : decodedAt) {
        const auto nearest = std::min_element(sent.begin(), sent.end(),
            [at](const auto& a, const auto& b) { return std::abs(a.seconds - at) < std::abs(b.seconds - at); });
        if (nearest != sent.end())
            latencies.push_back(std::max(0.0, (at - nearest->seconds) * 1000));
    }
    std::vector<double> deviations;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        deviations.push_back(std::abs((ticks[i] - ticks[i - 1]) * 1000 - periodMs));

    const int requests = window.controls().text(u"lblCounter").toInt() - 1;
    std::printf("finished %s\n", finished ? "yes" : "no");
    std::printf("baud %d\nperiod_ms %d\nregisters %d\nticks %zu\nrequests %d\nreplies_sent %lld\n", baud, periodMs,
        registers, ticks.size(), requests, static_cast<long long>(sent.size()));
    std::printf("replies_decoded %d\nevents %zu\nmessages %d\n", sound, decodedAt.size(), bench.messages);
    printSpread("deviation", deviations);
    printSpread("latency", latencies);
    std::printf("cpu_per_poll_ms %.4f\nsystem_share %.2f\n", cpuUsed * 1000 / std::max(1, requests),
        (systemSeconds() - systemAtStart) / std::max(cpuUsed, 1e-9));
    std::printf("resident_start_kb %ld\nresident_warm_kb %ld\nresident_end_kb %ld\n", residentAtStart,
        residentAfterWarmUp, residentAtEnd);
    return 0;
}

// The child half of a start-up run: the time the window is on screen.
int startupChild()
{
    frmMain window; // COM1 is wired by the parent
    window.load();
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("shown %.6f\n", monotonicSeconds());
    return 0;
}

int startup(const char* self, int runs)
{
    test::SimProcess sim({QStringLiteral("--quiet")});
    test::PortWiring com1(1, sim.devicePath());
    std::vector<double> millis;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        const double started = monotonicSeconds();
        child.start(QString::fromLocal8Bit(self), {QStringLiteral("startup-child")});
        if (!child.waitForFinished(10000))
            return 1;
        const QByteArray shown = child.readAllStandardOutput().trimmed();
        if (!shown.startsWith("shown "))
            return 1;
        millis.push_back((shown.mid(6).toDouble() - started) * 1000);
    }
    std::printf("runs %d\n", runs);
    printSpread("startup", millis);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("poll") && args.size() >= 5)
        return poll(args[2].toInt(), args[3].toInt(), args[4].toInt(), args.value(5, QStringLiteral("5")).toInt());
    if (args.value(1) == QLatin1String("startup"))
        return startup(argv[0], args.value(2, QStringLiteral("10")).toInt());
    if (args.value(1) == QLatin1String("startup-child"))
        return startupChild();
    if (args.value(1) == QLatin1String("log") && args.size() >= 7)
        return bench::trafficLogPolling(
            args[2].toInt(), args[3].toInt(), args[4].toInt(), args[5].toInt(), args[6] == QLatin1String("full"));
    if (args.value(1) == QLatin1String("log-scroll"))
        return bench::trafficLogScroll(args.value(2, QStringLiteral("100000")).toInt());
    if (args.value(1) == QLatin1String("log-burst"))
        return bench::trafficLogBurst();
    if (args.value(1) == QLatin1String("overview") && args.size() >= 5)
        return bench::overviewPolling(args[2].toInt(), args[3].toInt(), args[4].toInt());
    std::fprintf(stderr,
        "usage: poll_bench poll BAUD PERIOD_MS POLLS [REGISTERS] | startup RUNS\n"
        "       poll_bench log BAUD PERIOD_MS POLLS BLOCKS fresh|full | log-scroll ROWS | log-burst\n"
        "       poll_bench overview SENSORS BAUD ROUNDS\n");
    return 2;
}

#include "traffic_log_bench.h"

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/pick_list.h"
#include "app/tool_window.h"
#include "app/traffic_log/traffic_log_window.h"
#include "garbage_burst.h"
#include "process_figures.h"
#include "protocol/modbus/crc16.h"
#include "protocol/modbus/frame.h"
#include "pty_pair.h"
#include "serial/comm_port.h"
#include "sim_process.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kv::bench {

using test::cpuSeconds;
using test::monotonicSeconds;

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double worst(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

QByteArray withCrc(QByteArray body)
{
    const std::uint16_t crc = crc16Modbus(asSpan(body));
    body.append(static_cast<char>(crc & 0xFF));
    body.append(static_cast<char>(crc >> 8));
    return body;
}

// Fills the recorder with answered polls that happened before now, as if the
// window had been polling for hours.
void fillLog(TrafficRecorder& recorder, int frames)
{
    const QByteArray request = withCrc(QByteArray::fromHex("010300000005"));
    const QByteArray answer = withCrc(QByteArray::fromHex("01030A09C4177000000000002580"));
    const qint64 step = 1'000'000; // a millisecond apart: the past fits in any uptime
    qint64 at = CommPort::monotonicNow() - static_cast<qint64>(frames) * step;
    for (int i = 0; i < frames / 2; ++i) {
        recorder.written(request, at, 9600);
        recorder.arrived(answer, at + step, 9600);
        at += 2 * step;
    }
}

void stopMessages()
{
    MessageBox::setPresenter(
        [](const MessageBox::Message& message) { std::fprintf(stderr, "message: %s\n", qPrintable(message.text)); });
}

} // namespace

int trafficLogPolling(int baud, int periodMs, int polls, int blocks, bool fullLog)
{
    stopMessages();
    test::SimProcess sim({QStringLiteral("--quiet"), QStringLiteral("--baud"), QString::number(baud),
        QStringLiteral("--turnaround-ms"), QStringLiteral("5")});
    if (!sim.isRunning())
        return 1;
    test::PortWiring com1(1, sim.devicePath());
    ToolWindow window;
    window.load();
    window.show();
    frmMain& form = window.form();
    form.controls().get<PickList>(u"Combo2")->chooseText(QString::number(baud));
    form.form().controls.setText(u"txtTimerSet", QString::number(periodMs));
    if (fullLog)
        fillLog(window.traffic(), static_cast<int>(window.traffic().capacity()));

    // Each block: a few polls to settle after the switch, then the measured ones.
    constexpr int Settle = 10;
    std::vector<double> closed;
    std::vector<double> open;
    int block = 0;
    int tick = 0;
    double cpuAtStart = 0;
    int requestsAtStart = 0;
    QEventLoop loop;
    const auto requests = [&form] { return form.controls().text(u"lblCounter").toInt(); };
    QObject::connect(&form.pollTimer(), &QTimer::timeout, [&] {
        ++tick;
        if (tick == Settle) {
            cpuAtStart = cpuSeconds();
            requestsAtStart = requests();
        }
        if (tick < Settle + polls)
            return;
        const int polled = std::max(1, requests() - requestsAtStart);
        const bool wasOpen = window.trafficLog() != nullptr;
        (wasOpen ? open : closed).push_back((cpuSeconds() - cpuAtStart) * 1000 / polled);
        tick = 0;
        if (++block == 2 * blocks) {
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            return;
        }
        // Closed and open in turns; closing deletes the log window.
        if (wasOpen)
            window.trafficLog()->close();
        else
            window.showTrafficLog();
    });
    emit form.controls().get<QPushButton>(u"cmdOneM")->clicked();
    QTimer::singleShot((Settle + polls) * periodMs * 2 * blocks * 2 + 10000, &loop, &QEventLoop::quit);
    loop.exec();
    emit form.controls().get<QPushButton>(u"cmdStopOnce")->clicked();

    std::printf("finished %s\n", block == 2 * blocks ? "yes" : "no");
    std::printf("baud %d\nperiod_ms %d\npolls_per_block %d\nblocks %d\n", baud, periodMs, polls, blocks);
    std::printf("rows_at_end %lld\ndropped %llu\n", static_cast<long long>(window.traffic().size()),
        static_cast<unsigned long long>(window.traffic().dropped()));
    std::printf("closed_cpu_per_poll_ms %.4f\nopen_cpu_per_poll_ms %.4f\n", median(closed), median(open));
    std::printf("closed_worst_block_ms %.4f\nopen_worst_block_ms %.4f\n", worst(closed), worst(open));
    const double base = median(closed);
    std::printf("open_extra_percent %.1f\n", base > 0 ? 100 * (median(open) - base) / base : 0.0);
    return 0;
}

int trafficLogScroll(int rows)
{
    stopMessages();
    test::PtyPair line;
    test::PortWiring com1(1, line.slavePath());
    ToolWindow window;
    window.load();
    fillLog(window.traffic(), rows);
    window.traffic().setCapacity(std::max<qsizetype>(rows, window.traffic().capacity()));
    QElapsedTimer opening;
    opening.start();
    window.showTrafficLog();
    TrafficLogWindow& log = *window.trafficLog();
    QTableView& table = log.table();
    table.viewport()->repaint();
    const double openMs = static_cast<double>(opening.nsecsElapsed()) / 1e6;
    QCoreApplication::processEvents();

    // A page at a time from the top to the bottom and a jump back, each painted.
    QScrollBar* bar = table.verticalScrollBar();
    std::vector<double> steps;
    const auto paintAt = [&](int value) {
        QElapsedTimer step;
        step.start();
        bar->setValue(value);
        table.viewport()->repaint();
        steps.push_back(static_cast<double>(step.nsecsElapsed()) / 1e6);
    };
    bar->setValue(0);
    const int pages = 300;
    for (int page = 1; page <= pages; ++page)
        paintAt(static_cast<int>(static_cast<qint64>(bar->maximum()) * page / pages));
    for (int jump = 0; jump < 50; ++jump)
        paintAt(QRandomGenerator::global()->bounded(bar->maximum() + 1));
    std::printf("rows %d\nopen_ms %.2f\nsteps %zu\n", table.model()->rowCount(), openMs, steps.size());
    std::printf("scroll_median_ms %.3f\nscroll_worst_ms %.3f\n", median(steps), worst(steps));
    return 0;
}

int trafficLogBurst()
{
    stopMessages();
    test::PtyPair line;
    test::PortWiring com1(1, line.slavePath());
    ToolWindow window;
    window.load();
    window.show();
    window.showTrafficLog();
    window.form().form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    emit window.form().controls().get<QPushButton>(u"cmdOneM")->clicked();

    const QByteArray garbage = test::highBitGarbage(1 << 20, 42);
    double longestGap = 0;
    double last = monotonicSeconds();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double now = monotonicSeconds();
        longestGap = std::max(longestGap, (now - last) * 1000);
        last = now;
    });
    probe.start(10);
    const double started = monotonicSeconds();
    for (qsizetype at = 0; at < garbage.size(); at += 4096)
        line.send(garbage.mid(at, 4096));
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    emit window.form().controls().get<QPushButton>(u"cmdStopOnce")->clicked();
    const TrafficLogModel& rows = window.trafficLog()->log();
    std::printf(
        "burst_bytes %d\nseconds %.3f\nlongest_gap_ms %.1f\n", 1 << 20, monotonicSeconds() - started - 0.5, longestGap);
    std::printf("rows %d\nunsolicited %llu\n", rows.rowCount(),
        static_cast<unsigned long long>(window.traffic().statistics().unsolicited));
    return 0;
}

} // namespace kv::bench

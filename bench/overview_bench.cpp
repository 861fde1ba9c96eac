#include "overview_bench.h"

#include "app/overview/overview_window.h"
#include "message_recorder.h"
#include "percentile.h"
#include "process_figures.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace kv::bench {

int overviewPolling(int sensors, int baud, int rounds)
{
    QTemporaryDir settings; // the overview remembers its list: not in the user's settings
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    QStringList numbers;
    for (int station = 1; station <= sensors; ++station)
        numbers << QString::number(station);
    const QString stations = numbers.join(QLatin1Char(','));
    test::SimProcess sim({QStringLiteral("--station"), stations, QStringLiteral("--baud"), QString::number(baud),
        QStringLiteral("--quiet")});
    if (!sim.isRunning()) {
        std::fprintf(stderr, "overview: the simulated sensors did not start\n");
        return 1;
    }
    test::PortWiring com2(2, sim.devicePath());
    test::MessageRecorder messages;
    OverviewWindow overview([](int) { return nullptr; });
    QList<std::uint8_t> list;
    for (int station = 1; station <= sensors; ++station)
        list << static_cast<std::uint8_t>(station);
    overview.addSensors(2, baud, list);
    overview.show();

    // The shortest period the overview takes: it says the figure when refused.
    auto* period = overview.findChild<QLineEdit*>(QStringLiteral("txtOverviewPeriod"));
    auto* start = overview.findChild<QPushButton*>(QStringLiteral("cmdOverviewStart"));
    period->setText(QStringLiteral("1"));
    start->click();
    const QString refusal = messages.shown.value(0).text;
    const int shortest = QRegularExpression(QStringLiteral("\\d+")).match(refusal).captured().toInt();
    period->setText(QString::number(shortest));

    // A click posted to the event loop as the mouse would, every 100 ms: the
    // time until the button answers it is what a user waits.
    QPushButton probe(QStringLiteral("probe"), &overview);
    probe.show();
    std::vector<double> clickMs;
    QElapsedTimer sincePosted;
    QObject::connect(&probe, &QPushButton::clicked, [&] { clickMs.push_back(sincePosted.nsecsElapsed() / 1e6); });
    QTimer clicker;
    clicker.setInterval(100);
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        const QPointF at(probe.width() / 2.0, probe.height() / 2.0);
        sincePosted.start();
        QCoreApplication::postEvent(&probe,
            new QMouseEvent(QEvent::MouseButtonPress, at, probe.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {}));
        QCoreApplication::postEvent(&probe,
            new QMouseEvent(QEvent::MouseButtonRelease, at, probe.mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {}));
    });

    long exchanges = 0, sound = 0;
    QObject::connect(&overview, &OverviewWindow::readingTaken, [&](const Reading& reading, const QString&) {
        ++exchanges;
        sound += reading.ok() ? 1 : 0;
        if (exchanges >= static_cast<long>(sensors) * rounds)
            QCoreApplication::quit();
    });
    const double cpuAtStart = test::cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    start->click();
    clicker.start();
    QTimer::singleShot(rounds * (shortest + 100) * 2 + 5000, &QCoreApplication::quit);
    QApplication::exec();
    const double cpuUsed = test::cpuSeconds() - cpuAtStart;
    const double seconds = clock.elapsed() / 1000.0;

    std::printf("sensors %d\nbaud %d\nshortest_period_ms %d\nexchanges %ld\ndecoded %ld\n", sensors, baud, shortest,
        exchanges, sound);
    std::printf("exchanges_per_second %.1f\ncpu_per_exchange_ms %.4f\n", exchanges / seconds,
        exchanges > 0 ? cpuUsed * 1000 / exchanges : 0.0);
    std::printf("click_median_ms %.3f\nclick_p99_ms %.3f\nclick_worst_ms %.3f\nclicks %zu\n", percentile(clickMs, 0.5),
        percentile(clickMs, 0.99), percentile(clickMs, 1.0), clickMs.size());
    const bool passed = exchanges >= static_cast<long>(sensors) * rounds && sound == exchanges;
    std::printf("result %s\n", passed ? "pass" : "fail");
    return passed ? 0 : 1;
}

} // namespace kv::bench

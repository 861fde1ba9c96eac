// Back-to-back measurement exchanges between the real window (offscreen) and
// the simulated sensor: each request goes out as soon as the previous reply has
// been decoded. Prints how many replies were decoded and how resident memory
// moved; scripts/soak runs it and records the figures.
//
//   soak_exchanges [EXCHANGES]     default 100000
#include "app/main_window.h"
#include "app/pick_list.h"
#include "process_figures.h"
#include "app/handlers/measurement_query.h"
#include "serial/comm_port.h"
#include "simulated_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace kv;

using test::residentKilobytes;

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long target = argc > 1 ? std::atol(argv[1]) : 100000;
    // Memory is compared from the end of the warm-up: 1,000 exchanges, or half a short run.
    const long warmup = std::min(1000L, std::max(1L, target / 2));

    // A fast line keeps the run short; the window is set to the sensor's rate,
    // since the simulated sensor ignores requests sent at another.
    test::SimulatedWindow bench({QStringLiteral("--quiet"), QStringLiteral("--baud"), QStringLiteral("19200"),
                                 QStringLiteral("--turnaround-ms"), QStringLiteral("1")});
    if (!bench.sim.isRunning()) {
        std::fprintf(stderr, "soak: the simulated sensor did not start\n");
        return 1;
    }
    frmMain& window = bench.window;
    window.controls().get<PickList>(u"Combo2")->chooseText(QStringLiteral("19200"));
    Form& form = window.form();

    long exchanges = 0;
    long decoded = 0;
    long unsound = 0;
    long retries = 0;
    long residentAfterWarmup = 0;
    QElapsedTimer clock;
    clock.start();

    QTimer patience; // a reply that never comes: ask again
    patience.setSingleShot(true);
    patience.setInterval(1000);
    auto next = [&] {
        patience.start();
        comDoOnce_Click(form);
    };
    QObject::connect(&patience, &QTimer::timeout, [&] {
        ++retries;
        next();
    });
    QObject::connect(&window.serialPort(), &CommPort::onComm, [&] {
        if (window.serialPort().commEvent() != CommPort::ReceiveEvent)
            return;
        ++exchanges;
        const bool good = window.frontLamp() == Lamp::Connected
            && window.controls().text(u"txtValue", 0) == QLatin1String("25.00")
            && window.controls().text(u"txtValue", 1) == QLatin1String("60.00");
        (good ? decoded : unsound) += 1;
        if (exchanges == warmup)
            residentAfterWarmup = residentKilobytes();
        if (exchanges >= target) {
            patience.stop();
            QCoreApplication::quit();
            return;
        }
        QTimer::singleShot(0, next);
    });
    QTimer::singleShot(0, next);
    QApplication::exec();

    const double seconds = clock.elapsed() / 1000.0;
    const long residentAtEnd = residentKilobytes();
    std::printf("exchanges %ld\ndecoded %ld\nunsound %ld\nretries %ld\nmessages %d\n", exchanges, decoded, unsound,
                retries, bench.messages);
    std::printf("warmup_exchanges %ld\nresident_after_warmup_kb %ld\nresident_end_kb %ld\ngrowth_kb %ld\n", warmup,
                residentAfterWarmup,
                residentAtEnd, residentAtEnd - residentAfterWarmup);
    std::printf("seconds %.1f\nexchanges_per_second %.1f\n", seconds, exchanges / seconds);
    const bool passed = decoded == exchanges && exchanges >= target && residentAtEnd - residentAfterWarmup < 1024;
    std::printf("result %s\n", passed ? "pass" : "fail");
    return passed ? 0 : 1;
}

// Back-to-back measurement exchanges with the simulated sensor: each request
// goes out as soon as the previous reply has been decoded, through the real
// window (offscreen) or through the session layer's master alone. Prints how
// many replies were decoded and how resident memory moved; scripts/soak runs
// it and records the figures.
//
//   soak_exchanges [EXCHANGES] [window|session]     default 100000 through the window
#include "app/handlers/measurement_query.h"
#include "app/main_window.h"
#include "app/pick_list.h"
#include "process_figures.h"
#include "protocol/kv9240b/measurement.h"
#include "serial/comm_port.h"
#include "session/exchange_queue.h"
#include "session/modbus_master.h"
#include "simulated_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace kv;

using test::residentKilobytes;

namespace {

// A fast line keeps the run short. The simulated sensor ignores requests sent
// at another rate than its own: the window and the master are set to it.
const QStringList SimArguments{QStringLiteral("--quiet"), QStringLiteral("--baud"), QStringLiteral("19200"),
    QStringLiteral("--turnaround-ms"), QStringLiteral("1")};

struct Figures {
    long exchanges = 0;
    long decoded = 0;
    long unsound = 0;
    long retries = 0;
    int messages = 0;
    long warmup = 0;
    long residentAfterWarmup = 0;

    void count(bool good)
    {
        ++exchanges;
        (good ? decoded : unsound) += 1;
        if (exchanges == warmup)
            residentAfterWarmup = residentKilobytes();
    }
};

int report(const Figures& figures, long target, double seconds)
{
    const long residentAtEnd = residentKilobytes();
    std::printf("exchanges %ld\ndecoded %ld\nunsound %ld\nretries %ld\nmessages %d\n", figures.exchanges,
        figures.decoded, figures.unsound, figures.retries, figures.messages);
    std::printf("warmup_exchanges %ld\nresident_after_warmup_kb %ld\nresident_end_kb %ld\ngrowth_kb %ld\n",
        figures.warmup, figures.residentAfterWarmup, residentAtEnd, residentAtEnd - figures.residentAfterWarmup);
    std::printf("seconds %.1f\nexchanges_per_second %.1f\n", seconds, figures.exchanges / seconds);
    const bool passed = figures.decoded == figures.exchanges && figures.exchanges >= target
        && residentAtEnd - figures.residentAfterWarmup < 1024;
    std::printf("result %s\n", passed ? "pass" : "fail");
    return passed ? 0 : 1;
}

// Through the window: each reply decoded into its boxes starts the next request.
int soakWindow(long target, Figures figures)
{
    test::SimulatedWindow bench(SimArguments);
    if (!bench.sim.isRunning()) {
        std::fprintf(stderr, "soak: the simulated sensor did not start\n");
        return 1;
    }
    frmMain& window = bench.window;
    window.controls().get<PickList>(u"Combo2")->chooseText(QStringLiteral("19200"));
    Form& form = window.form();
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
        ++figures.retries;
        next();
    });
    QObject::connect(&window.exchange(), &ExchangeQueue::finished, [&] {
        figures.count(window.frontLamp() == Lamp::Connected
            && window.controls().text(u"txtValue", 0) == QLatin1String("25.00")
            && window.controls().text(u"txtValue", 1) == QLatin1String("60.00"));
        if (figures.exchanges >= target) {
            patience.stop();
            QCoreApplication::quit();
            return;
        }
        QTimer::singleShot(0, next);
    });
    QTimer::singleShot(0, next);
    QApplication::exec();

    figures.messages = bench.messages;
    return report(figures, target, clock.elapsed() / 1000.0);
}

// The session layer's master alone: what the command line does.
int soakSession(long target, Figures figures)
{
    test::SimProcess sim(SimArguments);
    if (!sim.isRunning()) {
        std::fprintf(stderr, "soak: the simulated sensor did not start\n");
        return 1;
    }
    CommPort port;
    port.setDevice(sim.devicePath());
    port.setSettings(QStringLiteral("19200,N,8,1"));
    if (!port.setPortOpen(true)) {
        std::fprintf(
            stderr, "soak: cannot open %s: %s\n", qPrintable(port.devicePath()), qPrintable(port.openFailureDetail()));
        return 1;
    }
    ModbusMaster master(port);
    master.setAllowance(std::chrono::milliseconds(1000)); // a reply that never comes: ask again after a second
    const Frame request = withCrc(readRegistersHead(1, 0, 5));
    QElapsedTimer clock;
    clock.start();
    while (figures.exchanges < target) {
        const Outcome outcome = master.exchange(request);
        if (outcome.kind == OutcomeKind::NoReply) {
            ++figures.retries;
            continue;
        }
        const Measurement values = measurementFromRegisters(1, 0, replyRegisters(asSpan(outcome.reply)));
        figures.count(outcome.ok() && values.temperature == 2500 && values.humidity == 6000);
    }
    return report(figures, target, clock.elapsed() / 1000.0);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long target = argc > 1 ? std::atol(argv[1]) : 100000;
    Figures figures;
    // Memory is compared from the end of the warm-up: 1,000 exchanges, or half a short run.
    figures.warmup = std::min(1000L, std::max(1L, target / 2));
    if (argc > 2 && QByteArray(argv[2]) == "session")
        return soakSession(target, figures);
    return soakWindow(target, figures);
}

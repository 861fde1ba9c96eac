// serve: polls the lines of a configuration file for monitoring, until SIGTERM.
#include "cli/commands.h"
#include "cli/line.h"
#include "cli/reopen_signal.h"
#include "cli/serve/serve_bridge.h"
#include "cli/serve/serve_config.h"
#include "cli/serve/settled_file.h"
#include "cli/stop_signals.h"

#include <QEventLoop>

namespace kv::cli {

int runServe(const Options& options)
{
    const ServeConfigResult loaded = loadServeConfig(options.config);
    if (!loaded.config) {
        complain(loaded.problem);
        return UsageError;
    }
    StopSignals stops;
    ReopenSignal reloads; // SIGHUP: read the file again
    ServeBridge bridge;
    QString problem;
    if (!bridge.apply(*loaded.config, problem)) {
        complain(problem);
        return Failure;
    }
    int sensors = 0;
    for (const ServedLineConfig& line : loaded.config->lines)
        sensors += static_cast<int>(line.sensors.size());
    complain(QStringLiteral("serving %1 line(s), %2 sensor(s) from %3")
                 .arg(loaded.config->lines.size())
                 .arg(sensors)
                 .arg(options.config));

    QEventLoop loop;
    QObject::connect(&bridge, &ServeBridge::stopped, &loop, &QEventLoop::quit);
    QObject::connect(&stops, &StopSignals::stopRequested, &bridge, [&] {
        complain(QStringLiteral("stopping after the exchanges in flight"));
        bridge.stop();
    });
    SettledFile file(options.config);
    QObject::connect(&reloads, &ReopenSignal::reopenRequested, &file, &SettledFile::request);
    QObject::connect(&file, &SettledFile::unsettled, &bridge, [&] {
        complain(QStringLiteral("%1 changed moments ago: reading it once it has been left alone for %2 s")
                     .arg(options.config)
                     .arg(SettledFile::StillFor.count() / 1000.0));
    });
    QObject::connect(&file, &SettledFile::settled, &bridge, [&] {
        const ServeConfigResult reloaded = loadServeConfig(options.config);
        QString refusal = reloaded.problem;
        if (reloaded.config && bridge.apply(*reloaded.config, refusal)) {
            complain(QStringLiteral("configuration reloaded from %1").arg(options.config));
            return;
        }
        complain(refusal);
        complain(QStringLiteral("reload refused: still serving the configuration read before"));
    });
    loop.exec();
    complain(QStringLiteral("stopped"));
    return Success;
}

} // namespace kv::cli

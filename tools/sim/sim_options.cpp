#include "sim_options.h"

#include "protocol/wire_timing.h"

#include <QCommandLineParser>

namespace kv::sim {

namespace {

const QString Description = QStringLiteral(
    "Simulated KV9240B temperature and humidity sensor. Answers Modbus RTU requests on a\n"
    "pseudo-terminal (or on a real serial port with --port) and prints the device to open on\n"
    "its first line, then one line per frame: MONOTONIC-SECONDS RX|TX HEX-BYTES.");

} // namespace

std::optional<SimOptions> readOptions(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addHelpOption();
    parser.addVersionOption();

    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Serve this serial device instead of a pseudo-terminal."), QStringLiteral("path"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Line rate: 2400, 4800, 9600 or 19200 (default 9600), 8N1."), QStringLiteral("rate"), QStringLiteral("9600"));
    const QCommandLineOption station(QStringLiteral("station"), QStringLiteral("Own station, 1 to 250 (default 1). Station 250 is answered too."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption temperature(QStringLiteral("temperature"), QStringLiteral("Measured temperature in degrees (default 25.00)."), QStringLiteral("value"), QStringLiteral("25"));
    const QCommandLineOption humidity(QStringLiteral("humidity"), QStringLiteral("Measured relative humidity in percent (default 60.00)."), QStringLiteral("value"), QStringLiteral("60"));
    const QCommandLineOption drift(QStringLiteral("drift"), QStringLiteral("Let the measured values swing slowly by a few tenths, with a little noise."));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed for drift, noise and faults, for runs that repeat."), QStringLiteral("n"));
    const QCommandLineOption turnaround(QStringLiteral("turnaround-ms"), QStringLiteral("Pause from the end of a request to the reply (default 5)."), QStringLiteral("ms"), QStringLiteral("5"));
    const QCommandLineOption fault(QStringLiteral("fault"),
        QStringLiteral("Spoil replies at random; repeatable. KIND: bad-crc, no-reply, partial, extra-bytes, "
                       "exception (code 04), delay (delay:P:MS, default 200 ms), wrong-station (an intact reply "
                       "from the next station, 247 followed by 1). P from 0 to 1."),
        QStringLiteral("kind:p"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Leave out the frame and note lines (the device path and faults are still printed)."));
    parser.addOptions({port, baud, station, temperature, humidity, drift, seed, turnaround, fault, quiet});
    parser.process(arguments);

    SimOptions options;
    options.port = parser.value(port);
    options.drift = parser.isSet(drift);
    options.quiet = parser.isSet(quiet);

    bool ok = false;
    options.baudRate = parser.value(baud).toInt(&ok);
    if (!ok || !isSupportedBaudRate(options.baudRate)) {
        error = QStringLiteral("--baud must be 2400, 4800, 9600 or 19200");
        return std::nullopt;
    }
    const int stationNumber = parser.value(station).toInt(&ok);
    if (!ok || stationNumber < 1 || stationNumber > 250) {
        error = QStringLiteral("--station must lie between 1 and 250");
        return std::nullopt;
    }
    options.station = static_cast<std::uint8_t>(stationNumber);
    // The registers hold hundredths in 16 bits. The comparisons are written so
    // that "nan", which reads as a number, fails them too.
    options.temperature = parser.value(temperature).toDouble(&ok);
    if (!ok || !(options.temperature >= -300 && options.temperature <= 300)) {
        error = QStringLiteral("--temperature must lie between -300 and 300");
        return std::nullopt;
    }
    options.humidity = parser.value(humidity).toDouble(&ok);
    if (!ok || !(options.humidity >= 0 && options.humidity <= 100)) {
        error = QStringLiteral("--humidity must lie between 0 and 100");
        return std::nullopt;
    }
    if (parser.isSet(seed)) {
        options.seed = parser.value(seed).toUInt(&ok);
        if (!ok) {
            error = QStringLiteral("--seed must be a whole number from 0 to 4294967295");
            return std::nullopt;
        }
    }
    const int turnaroundMs = parser.value(turnaround).toInt(&ok);
    if (!ok || turnaroundMs < 0 || turnaroundMs > 60'000) {
        error = QStringLiteral("--turnaround-ms must lie between 0 and 60000");
        return std::nullopt;
    }
    options.turnaround = std::chrono::milliseconds(turnaroundMs);
    for (const QString& text : parser.values(fault)) {
        const std::optional<FaultRule> rule = parseFaultRule(text, error);
        if (!rule) {
            error.prepend(QStringLiteral("--fault: "));
            return std::nullopt;
        }
        options.faults.push_back(*rule);
    }
    return options;
}

} // namespace kv::sim

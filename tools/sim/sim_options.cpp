#include "sim_options.h"

#include "protocol/kv9240b/setting_value.h"
#include "station_list.h"

#include <QCommandLineParser>

namespace kv::sim {

namespace {

const QString Description
    = QStringLiteral("Simulated KV9240B temperature and humidity sensors, one or several on one line. Answers\n"
                     "Modbus RTU requests on a pseudo-terminal (or on a real serial port with --port) and prints\n"
                     "the device to open on its first line, then one line per event:\n"
                     "MONOTONIC-SECONDS RX|TX|FAULT|NOTE TEXT (frames as hex bytes).\n"
                     "\n"
                     "On a pseudo-terminal a request counts only at the rate the sensors listen at: the rate the\n"
                     "other program set on its end is read with every request, and at another rate the sensors\n"
                     "stay silent (a NOTE says so). Several sensors answering at once (station 250 with more than\n"
                     "one sensor) give one garbled frame with a bad CRC.\n"
                     "\n"
                     "With --tcp or --modbus-tcp the sensors sit behind an Ethernet gateway on 127.0.0.1 (or\n"
                     "--listen) instead, one client at a time; the first line is then ADDRESS:PORT. Through\n"
                     "--modbus-tcp a reply spoilt on the serial side is answered with exception 0B.");

} // namespace

std::optional<SimOptions> readOptions(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addHelpOption();
    parser.addVersionOption();

    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("Serve this serial device instead of a pseudo-terminal."), QStringLiteral("path"));
    const QCommandLineOption baud(QStringLiteral("baud"),
        QStringLiteral(
            "The sensors' rate: 2400, 4800, 9600 or 19200 (default 9600), 8N1. A pseudo-terminal starts at it."),
        QStringLiteral("rate"), QStringLiteral("9600"));
    const QCommandLineOption station(QStringLiteral("station"),
        QStringLiteral("Stations of the sensors on the line, a list such as 1,2,7: each 1 to 250, none twice "
                       "(default 1). Sensor i of the list (from 0) reads i x 1.00 degree and i x 2.00 %RH above "
                       "--temperature and --humidity (at most 100 %RH). Station 250 reaches every sensor; a write "
                       "through it is carried out by all."),
        QStringLiteral("list"), QStringLiteral("1"));
    const QCommandLineOption temperature(QStringLiteral("temperature"),
        QStringLiteral("Measured temperature in degrees of the first sensor (default 25.00)."), QStringLiteral("value"),
        QStringLiteral("25"));
    const QCommandLineOption humidity(QStringLiteral("humidity"),
        QStringLiteral("Measured relative humidity in percent of the first sensor (default 60.00)."),
        QStringLiteral("value"), QStringLiteral("60"));
    const QCommandLineOption drift(QStringLiteral("drift"),
        QStringLiteral(
            "Let the measured values swing slowly by a few tenths, with a little noise; each sensor its own way."));
    const QCommandLineOption seed(QStringLiteral("seed"),
        QStringLiteral("Seed for drift, noise and faults, for runs that repeat."), QStringLiteral("n"));
    const QCommandLineOption turnaround(QStringLiteral("turnaround-ms"),
        QStringLiteral("Pause from the end of a request to the reply (default 5)."), QStringLiteral("ms"),
        QStringLiteral("5"));
    const QCommandLineOption fault(QStringLiteral("fault"),
        QStringLiteral(
            "Spoil replies at random; repeatable. KIND: bad-crc, no-reply, partial, extra-bytes, "
            "exception (code 04), delay (delay:P:MS, default 200 ms), wrong-station (an intact reply "
            "from the next station, 247 followed by 1), wrong-transaction (--modbus-tcp: a reply with another "
            "transaction id), disconnect (--tcp, --modbus-tcp: the connection closed halfway through the "
            "reply), split (--tcp, --modbus-tcp: the reply sent in three TCP segments 20 ms apart). P from 0 to 1. Add "
            ",to=STATION to spoil only replies "
            "to that station (250: every sensor), ,times=N to spoil at most N."),
        QStringLiteral("kind:p"));
    const QCommandLineOption tcp(QStringLiteral("tcp"),
        QStringLiteral("Serve the sensors behind a transparent gateway on this TCP port: RTU frames pass as they "
                       "are (0: a free port, named on the first line)."),
        QStringLiteral("port"));
    const QCommandLineOption modbusTcp(QStringLiteral("modbus-tcp"),
        QStringLiteral("Serve the sensors behind a Modbus TCP gateway on this TCP port (0: a free port)."),
        QStringLiteral("port"));
    const QCommandLineOption listen(QStringLiteral("listen"),
        QStringLiteral("The address --tcp and --modbus-tcp listen on (default 127.0.0.1)."), QStringLiteral("address"),
        QStringLiteral("127.0.0.1"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
        QStringLiteral("Leave out the frame and note lines (the device path and faults are still printed)."));
    parser.addOptions(
        {port, baud, station, temperature, humidity, drift, seed, turnaround, fault, tcp, modbusTcp, listen, quiet});
    parser.process(arguments);

    SimOptions options;
    options.port = parser.value(port);
    options.drift = parser.isSet(drift);
    options.quiet = parser.isSet(quiet);
    options.listen = parser.value(listen);
    if (int(parser.isSet(tcp)) + int(parser.isSet(modbusTcp)) + int(parser.isSet(port)) > 1) {
        error = QStringLiteral("--port, --tcp and --modbus-tcp exclude one another");
        return std::nullopt;
    }
    if (parser.isSet(tcp) || parser.isSet(modbusTcp)) {
        options.gateway = parser.isSet(tcp) ? GatewayKind::Transparent : GatewayKind::ModbusTcp;
        bool ok = false;
        const uint number = parser.value(parser.isSet(tcp) ? tcp : modbusTcp).toUInt(&ok);
        if (!ok || number > 65535) {
            error = QStringLiteral("--tcp and --modbus-tcp take a port from 0 to 65535");
            return std::nullopt;
        }
        options.gatewayPort = static_cast<quint16>(number);
    }

    bool ok = false;
    options.baudRate = parser.value(baud).toInt(&ok);
    if (!ok || !isSupportedBaudRate(options.baudRate)) {
        error = QStringLiteral("--baud must be 2400, 4800, 9600 or 19200");
        return std::nullopt;
    }
    const std::optional<std::vector<std::uint8_t>> stations = parseStationList(parser.value(station), error);
    if (!stations) {
        error.prepend(QStringLiteral("--station: "));
        return std::nullopt;
    }
    options.stations = *stations;
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

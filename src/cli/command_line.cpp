#include "cli/command_line.h"

#include "cli/station_list.h"
#include "protocol/kv9240b/measurement.h"
#include "protocol/kv9240b/setting_value.h"
#include "protocol/modbus/wire_timing.h"
#include "session/modbus_master.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <map>

namespace kv::cli {

namespace {

enum class Id {
    Port,
    Baud,
    Station,
    Timeout,
    Format,
    Interval,
    Count,
    Output,
    Verbose,
    Help,
    Version,
    Ports,
    Bauds,
    Scan,
    All,
    Config,
    ExitZero
};

// Where an option's line stands in --help: among the options of every
// command, or under the command it alone belongs to.
enum class HelpGroup { Common, Find, Set, Serve };

// One option: how it is written, and its line in --help. The help is made
// from this table, so an option cannot be accepted without being explained.
struct KnownOption {
    Id id;
    char shortName; // 0: none
    const char* longName;
    const char* valueName; // as --help names the value; nullptr: the option takes none
    const char* help;      // '\n' where --help breaks the text onto its next line
    HelpGroup group;

    constexpr bool takesValue() const { return valueName != nullptr; }
};

constexpr KnownOption KnownOptions[] = {
    {Id::Port, 'p', "port", "PORT",
        "COM<n>, numbered as the window numbers ports, or a device\n"
        "path such as /dev/ttyUSB0; or a gateway: tcp://HOST:PORT\n"
        "(RTU frames passed through) or modbus-tcp://HOST[:PORT]\n"
        "(Modbus TCP, port 502 by default), an IPv6 HOST in\n"
        "brackets; default COM1",
        HelpGroup::Common},
    {Id::Baud, 'b', "baud", "RATE",
        "line rate: 2400, 4800, 9600 or 19200; default 9600\n"
        "(through a gateway: the rate behind it, for the timeout)",
        HelpGroup::Common},
    {Id::Station, 's', "station", "LIST",
        "stations 1 to 247, read in turn, e.g. 1,3,5-9; default 1\n"
        "(set: read the setting back from this station rather\n"
        "than through station 250)",
        HelpGroup::Common},
    {Id::Timeout, 't', "timeout", "MS",
        "how long to wait for a reply, 1 to 60000; default the\n"
        "exchange's time on the wire at the rate plus 100 ms;\n"
        "through a gateway every timeout, this one too, has\n"
        "200 ms more for the network",
        HelpGroup::Common},
    {Id::Format, 'f', "format", "FORMAT",
        "text, csv, json (JSON Lines) or influx (InfluxDB line\n"
        "protocol); default text",
        HelpGroup::Common},
    {Id::Interval, 'i', "interval", "MS",
        "watch: from one poll to the next, 50 to 60000, at least\n"
        "the exchange on the wire (29 ms at 9600 baud, 111 ms at\n"
        "2400 for one station); default 1000",
        HelpGroup::Common},
    {Id::Count, 'n', "count", "N", "watch: stop after N polls (each reads every station)", HelpGroup::Common},
    {Id::Output, 'o', "output", "FILE", "append the records to FILE instead of standard output", HelpGroup::Common},
    {Id::Verbose, 'v', "verbose", nullptr,
        "every frame to standard error: time, direction, hex bytes\n"
        "and verdict",
        HelpGroup::Common},
    {Id::ExitZero, 0, "exit-zero", nullptr,
        "read, watch: exit 0 even when a reading failed (the\n"
        "records say so), for collectors that drop a failed run",
        HelpGroup::Common},
    {Id::Help, 'h', "help", nullptr, "this text", HelpGroup::Common},
    {Id::Version, 0, "version", nullptr, "the program's version", HelpGroup::Common},
    {Id::Ports, 0, "ports", "LIST",
        "ports to try, comma-separated; default every serial\n"
        "device present (and those KV9240B_COM<n> names)",
        HelpGroup::Find},
    {Id::Bauds, 0, "bauds", "LIST", "rates to try; default 9600,19200,4800,2400", HelpGroup::Find},
    {Id::Scan, 0, "scan", nullptr,
        "where station 250 gets no answer, also ask stations 1 to\n"
        "247 one by one (about 17 s a rate at 9600 baud)",
        HelpGroup::Find},
    {Id::All, 0, "all", nullptr,
        "write even with several sensors on the line: every\n"
        "one of them takes the setting",
        HelpGroup::Set},
    {Id::Config, 'c', "config", "FILE",
        "the TOML file naming the lines, the sensors and the\n"
        "outputs; SIGHUP reads it again",
        HelpGroup::Serve},
};

static_assert(std::ranges::all_of(KnownOptions,
                  [](const KnownOption& option) { return option.help != nullptr && option.help[0] != '\0'; }),
    "every option has its line in --help");

// The column each option's help starts in, as help2man reads it: the names,
// then at least two spaces.
constexpr int HelpColumn = 23;

constexpr int MinInterval = 50;
constexpr int MaxMilliseconds = 60'000;

const KnownOption* optionNamed(const QString& longName)
{
    for (const KnownOption& option : KnownOptions) {
        if (longName == QLatin1String(option.longName))
            return &option;
    }
    return nullptr;
}

const KnownOption* optionLettered(QChar letter)
{
    for (const KnownOption& option : KnownOptions) {
        if (option.shortName != 0 && letter == QLatin1Char(option.shortName))
            return &option;
    }
    return nullptr;
}

const KnownOption& optionOf(Id id)
{
    for (const KnownOption& option : KnownOptions) {
        if (option.id == id)
            return option;
    }
    return KnownOptions[0];
}

QString dashed(Id id)
{
    return QStringLiteral("--") + QLatin1String(optionOf(id).longName);
}

// "-1.2" and "-.5" are values: no option is a digit or a point.
bool readsAsNegativeNumber(const QString& word)
{
    if (word.size() < 2 || word[0] != QLatin1Char('-'))
        return false;
    return word[1].isDigit() || (word[1] == QLatin1Char('.') && word.size() > 2 && word[2].isDigit());
}

std::optional<Command> commandNamed(const QString& word)
{
    if (word == QLatin1String("read"))
        return Command::Read;
    if (word == QLatin1String("watch"))
        return Command::Watch;
    if (word == QLatin1String("set"))
        return Command::Set;
    if (word == QLatin1String("address"))
        return Command::Address;
    if (word == QLatin1String("find"))
        return Command::Find;
    if (word == QLatin1String("serve"))
        return Command::Serve;
    return std::nullopt;
}

QString commandName(Command command)
{
    switch (command) {
    case Command::Read:
        return QStringLiteral("read");
    case Command::Watch:
        return QStringLiteral("watch");
    case Command::Set:
        return QStringLiteral("set");
    case Command::Address:
        return QStringLiteral("address");
    case Command::Find:
        return QStringLiteral("find");
    case Command::Serve:
        return QStringLiteral("serve");
    }
    return {};
}

// Why an option given does not go with the command; empty when it does.
QString misplaced(Command command, Id id)
{
    if (command == Command::Serve && id != Id::Config && id != Id::Verbose)
        return QStringLiteral("serve takes its lines and settings from --config, not %1").arg(dashed(id));
    switch (id) {
    case Id::Config:
        return command == Command::Serve ? QString() : dashed(id) + QStringLiteral(" is for serve only");
    case Id::ExitZero:
        return command == Command::Read || command == Command::Watch
            ? QString()
            : dashed(id) + QStringLiteral(" is for read and watch only");
    case Id::Interval:
    case Id::Count:
        return command == Command::Watch ? QString() : dashed(id) + QStringLiteral(" is for watch only");
    case Id::Ports:
    case Id::Bauds:
    case Id::Scan:
        return command == Command::Find ? QString() : dashed(id) + QStringLiteral(" is for find only");
    case Id::All:
        return command == Command::Set ? QString() : dashed(id) + QStringLiteral(" is for set only");
    case Id::Port:
        return command == Command::Find ? QStringLiteral("find takes --ports, not --port") : QString();
    case Id::Baud:
        return command == Command::Find ? QStringLiteral("find takes --bauds, not --baud") : QString();
    case Id::Station:
        if (command == Command::Address)
            return QStringLiteral("address reads through station 250 and takes no --station");
        if (command == Command::Find)
            return QStringLiteral("find looks for the stations itself and takes no --station");
        return {};
    default:
        return {};
    }
}

ParsedCommandLine refused(const QString& problem)
{
    ParsedCommandLine parsed;
    parsed.action = ParsedCommandLine::Action::UsageError;
    parsed.problem = problem;
    return parsed;
}

std::optional<int> readBaudRate(const QString& text)
{
    const std::optional<qint64> rate = readWholeNumber(text, 1, 19200);
    if (!rate || !isSupportedBaudRate(static_cast<int>(*rate)))
        return std::nullopt;
    return static_cast<int>(*rate);
}

// The lines --help gives the options of a group, in the table's order.
QString optionLines(HelpGroup group)
{
    const QString indent(HelpColumn, QLatin1Char(' '));
    QString lines;
    for (const KnownOption& option : KnownOptions) {
        if (option.group != group)
            continue;
        QString names = option.shortName != 0 ? QStringLiteral("  -%1, ").arg(QLatin1Char(option.shortName))
                                              : QStringLiteral("      ");
        names += QStringLiteral("--") + QLatin1String(option.longName);
        if (option.takesValue())
            names += QLatin1Char(' ') + QLatin1String(option.valueName);
        names = names.size() + 2 <= HelpColumn ? names.leftJustified(HelpColumn) : names + QLatin1Char('\n') + indent;
        lines += names + QString::fromUtf8(option.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent)
            + QLatin1Char('\n');
    }
    return lines;
}

} // namespace

std::optional<int> comPortNumber(const QString& port)
{
    static const QRegularExpression com(QStringLiteral("^[Cc][Oo][Mm]([0-9]{1,3})$"));
    const QRegularExpressionMatch match = com.match(port);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

std::chrono::milliseconds shortestPeriod(int baudRate, int stations)
{
    const auto exchange = exchangeTime(8, 5 + 2 * MeasurementRows, baudRate, ModbusMaster::NominalTurnaround);
    const auto round = exchange * stations + silentInterval(baudRate) * std::max(0, stations - 1);
    return std::chrono::ceil<std::chrono::milliseconds>(round);
}

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    std::map<Id, QString> given;
    QStringList words;
    bool optionsEnded = false;

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != QLatin1Char('-') || readsAsNegativeNumber(argument)) {
            words << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const KnownOption* option = nullptr;
        std::optional<QString> attached;
        if (argument.startsWith(QLatin1String("--"))) {
            const qsizetype equals = argument.indexOf(QLatin1Char('='));
            option = optionNamed(argument.mid(2, equals < 0 ? -1 : equals - 2));
            if (!option)
                return refused(
                    QStringLiteral("unknown option %1").arg(argument.left(equals < 0 ? argument.size() : equals)));
            if (equals >= 0)
                attached = argument.mid(equals + 1);
            if (attached && !option->takesValue())
                return refused(QStringLiteral("%1 takes no value").arg(dashed(option->id)));
        } else {
            // A cluster of flags ("-vh"), or one letter with its value attached ("-b9600").
            for (qsizetype at = 1; at < argument.size(); ++at) {
                option = optionLettered(argument[at]);
                if (!option)
                    return refused(QStringLiteral("unknown option -%1").arg(argument[at]));
                if (option->takesValue()) {
                    if (at + 1 < argument.size())
                        attached = argument.mid(at + 1);
                    break;
                }
                if (at + 1 < argument.size())
                    given[option->id] = QString();
            }
        }
        if (option->takesValue() && !attached) {
            if (i + 1 >= arguments.size())
                return refused(QStringLiteral("%1 needs a value").arg(dashed(option->id)));
            attached = arguments[++i];
        }
        given[option->id] = attached.value_or(QString());
    }

    ParsedCommandLine parsed;
    if (given.count(Id::Help)) {
        parsed.action = ParsedCommandLine::Action::Help;
        return parsed;
    }
    if (given.count(Id::Version)) {
        parsed.action = ParsedCommandLine::Action::Version;
        return parsed;
    }

    if (words.isEmpty())
        return refused(QStringLiteral("no command given: read, watch, set, address, find or serve"));
    const std::optional<Command> command = commandNamed(words.first());
    if (!command)
        return refused(
            QStringLiteral("unknown command '%1': read, watch, set, address, find or serve").arg(words.first()));
    Options& options = parsed.options;
    options.command = *command;
    const qsizetype operands = *command == Command::Set ? 2 : 0;
    if (words.size() - 1 < operands)
        return refused(QStringLiteral("set needs a setting and its value, e.g. set temperature-offset 1.5"));
    if (words.size() - 1 > operands)
        return refused(QStringLiteral("unexpected '%1' after %2").arg(words[operands + 1], commandName(*command)));

    const auto portGiven = given.find(Id::Port);
    const bool throughGateway = portGiven != given.end() && namesGateway(portGiven->second);
    for (const auto& [id, value] : given) {
        // find asks the stations behind one gateway, at the rate behind it.
        if ((id == Id::Port || id == Id::Baud) && *command == Command::Find && throughGateway)
            continue;
        const QString problem = misplaced(*command, id);
        if (!problem.isEmpty())
            return refused(problem);
    }
    const auto valueOf = [&](Id id) -> const QString* {
        const auto found = given.find(id);
        return found == given.end() ? nullptr : &found->second;
    };

    if (const QString* port = valueOf(Id::Port)) {
        if (port->isEmpty())
            return refused(QStringLiteral("--port needs a port: COM<n> or a device path"));
        if (namesGateway(*port)) {
            QString problem;
            options.gateway = readGatewayAddress(*port, problem);
            if (!options.gateway)
                return refused(problem);
        }
        const std::optional<int> number = comPortNumber(*port);
        if (number && (*number < 1 || *number > 255))
            return refused(QStringLiteral("%1: port numbers run from COM1 to COM255").arg(*port));
        options.port = *port;
    }
    if (const QString* baud = valueOf(Id::Baud)) {
        const std::optional<int> rate = readBaudRate(*baud);
        if (!rate)
            return refused(QStringLiteral("--baud must be 2400, 4800, 9600 or 19200, not '%1'").arg(*baud));
        options.baudRate = *rate;
    }
    if (const QString* stations = valueOf(Id::Station)) {
        QString problem;
        const std::optional<QList<std::uint8_t>> list = readStationList(*stations, problem);
        if (!list)
            return refused(QStringLiteral("--station: ") + problem);
        options.stations = *list;
        options.stationGiven = true;
    }
    if (const QString* timeout = valueOf(Id::Timeout)) {
        const std::optional<qint64> ms = readWholeNumber(*timeout, 1, MaxMilliseconds);
        if (!ms)
            return refused(QStringLiteral("--timeout must be a whole number of milliseconds from 1 to 60000"));
        options.timeout = std::chrono::milliseconds(*ms);
    }
    if (const QString* format = valueOf(Id::Format)) {
        const std::optional<RecordFormat> named = recordFormatNamed(*format);
        if (!named)
            return refused(QStringLiteral("--format must be text, csv, json or influx, not '%1'").arg(*format));
        if (*named == RecordFormat::Influx && (*command == Command::Address || *command == Command::Find))
            return refused(QStringLiteral("--format influx is for read, watch and set"));
        options.format = *named;
    }
    if (const QString* interval = valueOf(Id::Interval)) {
        const std::optional<qint64> ms = readWholeNumber(*interval, MinInterval, MaxMilliseconds);
        if (!ms)
            return refused(QStringLiteral("--interval must be a whole number of milliseconds from 50 to 60000"));
        options.interval = std::chrono::milliseconds(*ms);
    }
    if (const QString* count = valueOf(Id::Count)) {
        const std::optional<qint64> n = readWholeNumber(*count, 1, std::numeric_limits<qint64>::max());
        if (!n)
            return refused(QStringLiteral("--count must be a whole number from 1"));
        options.count = *n;
    }
    if (const QString* output = valueOf(Id::Output)) {
        if (output->isEmpty())
            return refused(QStringLiteral("--output needs a file name"));
        options.output = *output;
    }
    options.verbose = given.count(Id::Verbose) > 0;
    options.exitZero = given.count(Id::ExitZero) > 0;
    options.scan = given.count(Id::Scan) > 0;
    options.all = given.count(Id::All) > 0;
    if (const QString* ports = valueOf(Id::Ports)) {
        options.ports = ports->split(QLatin1Char(','));
        if (options.ports.contains(QString()))
            return refused(QStringLiteral("--ports needs a comma-separated list of ports: COM<n> or device paths"));
    }
    if (const QString* bauds = valueOf(Id::Bauds)) {
        options.baudRates.clear();
        for (const QString& item : bauds->split(QLatin1Char(','))) {
            const std::optional<int> rate = readBaudRate(item);
            if (!rate)
                return refused(QStringLiteral("--bauds: '%1' is not 2400, 4800, 9600 or 19200").arg(item));
            if (!options.baudRates.contains(*rate))
                options.baudRates << *rate;
        }
    }

    if (options.gateway && *command == Command::Find) {
        if (valueOf(Id::Bauds))
            return refused(QStringLiteral("find through a gateway asks at the rate behind it and takes no --bauds "
                                          "(give -b if it is not 9600)"));
        if (valueOf(Id::Ports))
            return refused(QStringLiteral("find looks behind one gateway (-p) or on serial ports (--ports), not both"));
    }
    if (*command == Command::Serve) {
        const QString* config = valueOf(Id::Config);
        if (!config || config->isEmpty())
            return refused(QStringLiteral("serve needs --config FILE"));
        options.config = *config;
    }
    if (*command == Command::Set) {
        if (options.stations.size() > 1)
            return refused(QStringLiteral("set reads the setting back from one station, not from a list"));
        QString problem;
        options.setting = readSettingChange(words[1], words[2], problem);
        if (!options.setting)
            return refused(problem);
    }
    if (*command == Command::Watch) {
        const auto shortest = shortestPeriod(options.baudRate, static_cast<int>(options.stations.size()));
        if (options.interval < shortest) {
            return refused(
                QStringLiteral("--interval %1 is shorter than polling %2 on the wire at %3 baud takes: "
                               "the shortest period is %4 ms")
                    .arg(options.interval.count())
                    .arg(options.stations.size() == 1 ? QStringLiteral("one station")
                                                      : QStringLiteral("%1 stations").arg(options.stations.size()))
                    .arg(options.baudRate)
                    .arg(shortest.count()));
        }
    }
    parsed.action = ParsedCommandLine::Action::Run;
    return parsed;
}

QString helpText()
{
    return QStringLiteral("Usage: kv9240b [options] COMMAND [ARGUMENTS]\n"
                          "\n"
                          "Reads and sets KV9240B temperature and humidity sensors over Modbus RTU on an\n"
                          "RS-485 line: for scripts, loggers and buses of many sensors.\n"
                          "\n"
                          "Commands:\n"
                          "  read                 one reading of each station\n"
                          "  watch                poll until Ctrl-C (or SIGTERM) or --count\n"
                          "  set NAME VALUE       write a setting through station 250, then read it back;\n"
                          "                       refused when several sensors answer 250 (or another\n"
                          "                       station than -s names): 250 reaches every sensor\n"
                          "  address              read the station number through station 250\n"
                          "  find                 look for sensors on ports and rates\n"
                          "  serve                poll the lines of --config for monitoring (Prometheus\n"
                          "                       metrics over HTTP, MQTT) until SIGTERM\n"
                          "\n"
                          "Options (before or after the command):\n")
        + optionLines(HelpGroup::Common)
        + QStringLiteral("\n"
                         "find:\n")
        + optionLines(HelpGroup::Find)
        + QStringLiteral("  find reads the station number through station 250 at each port and rate,\n"
                         "  then the values of the sensor that answered. Several sensors on one line all\n"
                         "  answer 250 at once; find recognises the garbled answer and asks stations 1\n"
                         "  to 247 one by one at that rate. With -p naming a gateway it looks behind\n"
                         "  that gateway only, at the rate of its serial line (-b; no --bauds).\n"
                         "\n"
                         "Settings for set:\n"
                         "  temperature-offset   -10.00 to 10.00 (°C)\n"
                         "  humidity-offset      -10.00 to 10.00 (%RH)\n"
                         "  baud                 2400, 4800, 9600 or 19200; read back at the new rate\n"
                         "  A negative value needs no \"--\": kv9240b set humidity-offset -1.2\n")
        + optionLines(HelpGroup::Set)

        + QStringLiteral("  The value read back is written as a record; a different one fails.\n")
        + QStringLiteral("\n"
                         "serve:\n")
        + optionLines(HelpGroup::Serve)
        + QStringLiteral("  Each line is polled on its own; a port or gateway that is lost is tried\n"
                         "  again after 1 s, then twice as long each time up to 60 s. A wrong file is\n"
                         "  refused whole, with its line number (status 2; on SIGHUP the running\n"
                         "  configuration stays). SIGTERM ends after the exchanges in flight (status\n"
                         "  0). The installed example, /etc/kv9240b/serve.toml, explains every key.\n")
        + QStringLiteral("\n"
                         "Records (one a reading, written at once):\n"
                         "  text    station 1  25.00 °C  60.00 %RH  offsets +0.00 °C +0.00 %RH  9600 baud\n"
                         "          station 3  no reply (timeout 129 ms)\n"
                         "  csv     time,station,temperature_c,humidity_rh,temperature_offset_c,\n"
                         "          humidity_offset_rh,baud,status: the header once, not when appending\n"
                         "          to a file that has lines already\n"
                         "  json    one object a line with the keys of csv; null where a reading failed\n"
                         "  influx  kv9240b,station=1,port=COM1 temperature_c=25.00,humidity_rh=60.00,\n"
                         "          temperature_offset_c=0.00,humidity_offset_rh=0.00,baud=9600i,\n"
                         "          status=\"ok\" <ns>; a failed reading has its status and no values\n"
                         "  time is ISO 8601 with milliseconds and the UTC offset; status is ok,\n"
                         "  no-reply, partial, bad-crc, exception-NN, unexpected or port-lost.\n"
                         "  address writes \"station 7\" (csv and json: the station alone). find writes\n"
                         "  port, rate, station, temperature and humidity of each sensor as it is found,\n"
                         "  then how many it found and how long it took (to standard error in csv and\n"
                         "  json). watch ends with a summary on standard error: readings, ok, each kind\n"
                         "  of failure, loss, and response times.\n"
                         "\n"
                         "Exit status:\n"
                         "  0  every reading succeeded (set: the write and its read-back; find: found one)\n"
                         "  1  a reading failed, the value read back differs, set refused to write,\n"
                         "     or find found nothing or lost a port on the way\n"
                         "  2  the command line is wrong\n"
                         "  3  the port cannot be opened, or the gateway cannot be reached or\n"
                         "     closed the connection\n"
                         "  130, 143  set or find stopped by SIGINT (Ctrl-C) or SIGTERM; set first\n"
                         "     ends the exchange on the line and says how it went\n"
                         "\n"
                         "Examples:\n"
                         "  kv9240b read -p /dev/ttyUSB0 -s 1,2,5-7\n"
                         "  kv9240b watch -i 5000 -f csv -o climate.csv\n"
                         "  kv9240b find --bauds 9600,19200\n");
}

QString versionText()
{
    return QStringLiteral("kv9240b " KV9240B_VERSION "\n");
}

} // namespace kv::cli

// The arguments as a script writes them: what each run is asked to do, and
// the one line that says what is wrong with a bad one. (Through the program
// itself, tst_cli_usage checks the exit status and the hint.)
#include "cli/command_line.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTest>

using namespace kv;
using namespace kv::cli;

using Stations = QList<std::uint8_t>;

class tst_CliArguments : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void accepted_data();
    void accepted();
    void settings_data();
    void settings();
    void refused_data();
    void refused();
    void helpAndVersionWin();
    void helpNamesOnlyOptionsThatExist();
    void gatewayAddresses_data();
    void gatewayAddresses();
    void shortestPeriods_data();
    void shortestPeriods();
};

void tst_CliArguments::accepted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<Stations>("stations");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<qint64>("count");

    const int text = int(RecordFormat::Text);
    QTest::newRow("defaults") << QStringList{"read"} << int(Command::Read) << "COM1" << 9600 << Stations{1} << text
                              << 1000 << qint64(0);
    QTest::newRow("options after the command")
        << QStringList{"watch", "-p", "/dev/ttyUSB0", "-b", "19200", "-i", "50", "-n", "10", "-f", "csv"}
        << int(Command::Watch) << "/dev/ttyUSB0" << 19200 << Stations{1} << int(RecordFormat::Csv) << 50 << qint64(10);
    QTest::newRow("long options with =") << QStringList{"--port=COM3", "--baud=4800", "--station=1,3,5-9",
        "--format=json", "read"} << int(Command::Read)
                                         << "COM3" << 4800 << Stations{1, 3, 5, 6, 7, 8, 9} << int(RecordFormat::Json)
                                         << 1000 << qint64(0);
    QTest::newRow("values attached to letters")
        << QStringList{"-b2400", "-s7", "-finflux", "read"} << int(Command::Read) << "COM1" << 2400 << Stations{7}
        << int(RecordFormat::Influx) << 1000 << qint64(0);
    QTest::newRow("each station once, in the order named")
        << QStringList{"read", "-s", "9,3-5,4,1"} << int(Command::Read) << "COM1" << 9600 << Stations{9, 3, 4, 5, 1}
        << text << 1000 << qint64(0);
    QTest::newRow("the widest list") << QStringList{"read", "-s", "1-247"} << int(Command::Read) << "COM1" << 9600 <<
        [] {
            Stations all;
            for (int s = 1; s <= 247; ++s)
                all << std::uint8_t(s);
            return all;
        }() << text << 1000 << qint64(0);
    QTest::newRow("the last option given counts")
        << QStringList{"-b", "2400", "read", "-b", "9600"} << int(Command::Read) << "COM1" << 9600 << Stations{1}
        << text << 1000 << qint64(0);
    QTest::newRow("a port whose name starts with a dash")
        << QStringList{"read", "-p", "-odd-name"} << int(Command::Read) << "-odd-name" << 9600 << Stations{1} << text
        << 1000 << qint64(0);
    QTest::newRow("find with its own options")
        << QStringList{"find", "--ports", "COM1,/dev/ttyUSB3", "--bauds", "2400,9600,2400", "--scan", "-t", "60"}
        << int(Command::Find) << "COM1" << 9600 << Stations{1} << text << 1000 << qint64(0);
    QTest::newRow("a period just long enough at 2400 baud")
        << QStringList{"watch", "-b", "2400", "-i", "111"} << int(Command::Watch) << "COM1" << 2400 << Stations{1}
        << text << 111 << qint64(0);
}

void tst_CliArguments::accepted()
{
    QFETCH(QStringList, arguments);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    QVERIFY2(parsed.action == ParsedCommandLine::Action::Run, qPrintable(parsed.problem));
    const Options& options = parsed.options;
    QTEST(int(options.command), "command");
    QTEST(options.port, "port");
    QTEST(options.baudRate, "baud");
    QTEST(options.stations, "stations");
    QTEST(int(options.format), "format");
    QTEST(int(options.interval.count()), "intervalMs");
    QTEST(options.count, "count");
    if (options.command == Command::Find) {
        QCOMPARE(options.ports, (QStringList{"COM1", "/dev/ttyUSB3"}));
        QCOMPARE(options.baudRates, (QList<int>{2400, 9600}));
        QVERIFY(options.scan);
        QCOMPARE(options.timeout, std::chrono::milliseconds(60));
    }
}

void tst_CliArguments::settings_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("registerValue");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("stationGiven");

    // Offsets go out in hundredths, negative ones as their two's complement.
    QTest::newRow("negative offset without --")
        << QStringList{"set", "humidity-offset", "-1.2"} << 1 << 0xFF88 << -120 << false;
    QTest::newRow("options around a negative offset")
        << QStringList{"-p", "COM2", "set", "temperature-offset", "-.5", "-s", "4"} << 0 << 0xFFCE << -50 << true;
    QTest::newRow("positive offset") << QStringList{"set", "temperature-offset", "1.5"} << 0 << 150 << 150 << false;
    QTest::newRow("the upper bound") << QStringList{"set", "temperature-offset", "10"} << 0 << 1000 << 1000 << false;
    QTest::newRow("the lower bound") << QStringList{"set", "humidity-offset", "-10.00"} << 1 << 0xFC18 << -1000
                                     << false;
    QTest::newRow("halves to the even neighbour")
        << QStringList{"set", "humidity-offset", "0.125"} << 1 << 12 << 12 << false;
    QTest::newRow("baud") << QStringList{"set", "baud", "19200"} << 2 << 19200 << 19200 << false;
    QTest::newRow("after --") << QStringList{"set", "--", "temperature-offset", "-2"} << 0 << 0xFF38 << -200 << false;
}

void tst_CliArguments::settings()
{
    QFETCH(QStringList, arguments);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    QVERIFY2(parsed.action == ParsedCommandLine::Action::Run, qPrintable(parsed.problem));
    QCOMPARE(parsed.options.command, Command::Set);
    QVERIFY(parsed.options.setting);
    QTEST(parsed.options.setting->index, "index");
    QTEST(int(parsed.options.setting->registerValue), "registerValue");
    QTEST(parsed.options.setting->expected, "expected");
    QTEST(parsed.options.stationGiven, "stationGiven");
}

void tst_CliArguments::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");

    QTest::newRow("nothing") << QStringList{} << "no command given: read, watch, set, address, find or serve";
    QTest::newRow("unknown command") << QStringList{"poll"}
                                     << "unknown command 'poll': read, watch, set, address, find or serve";
    QTest::newRow("unknown long option") << QStringList{"read", "--speed=9600"} << "unknown option --speed";
    QTest::newRow("unknown letter") << QStringList{"read", "-x"} << "unknown option -x";
    QTest::newRow("missing value") << QStringList{"read", "-p"} << "--port needs a value";
    QTest::newRow("flag with a value") << QStringList{"read", "--verbose=yes"} << "--verbose takes no value";
    QTest::newRow("baud") << QStringList{"read", "-b", "1200"}
                          << "--baud must be 2400, 4800, 9600 or 19200, not '1200'";
    QTest::newRow("station 0") << QStringList{"read", "-s", "0"}
                               << "--station: '0' is no station: stations run from 1 to 247";
    QTest::newRow("station 248") << QStringList{"read", "-s", "1,248"}
                                 << "--station: '248' is no station: stations run from 1 to 247";
    QTest::newRow("backward range") << QStringList{"read", "-s", "9-5"}
                                    << "--station: '9-5' is no range of stations: write FIRST-LAST, from 1 to 247";
    QTest::newRow("empty item") << QStringList{"read", "-s", "1,,2"}
                                << "--station: '' is no station: stations run from 1 to 247";
    QTest::newRow("timeout") << QStringList{"read", "-t", "0"}
                             << "--timeout must be a whole number of milliseconds from 1 to 60000";
    QTest::newRow("format") << QStringList{"read", "-f", "xml"}
                            << "--format must be text, csv, json or influx, not 'xml'";
    QTest::newRow("interval too short") << QStringList{"watch", "-i", "49"}
                                        << "--interval must be a whole number of milliseconds from 50 to 60000";
    QTest::newRow("interval too long") << QStringList{"watch", "-i", "60001"}
                                       << "--interval must be a whole number of milliseconds from 50 to 60000";
    QTest::newRow("period shorter than the exchange") << QStringList{"watch", "-b", "2400", "-i", "110"}
                                                      << "--interval 110 is shorter than polling one station on the "
                                                         "wire at 2400 baud takes: the shortest period is 111 ms";
    QTest::newRow("period shorter than a round") << QStringList{"watch", "-s", "1-3", "-i", "50"}
                                                 << "--interval 50 is shorter than polling 3 stations on the wire at "
                                                    "9600 baud takes: the shortest period is 95 ms";
    QTest::newRow("count") << QStringList{"watch", "-n", "0"} << "--count must be a whole number from 1";
    QTest::newRow("interval with read") << QStringList{"read", "-i", "100"} << "--interval is for watch only";
    QTest::newRow("scan with read") << QStringList{"read", "--scan"} << "--scan is for find only";
    QTest::newRow("transparent gateway without port") << QStringList{
        "read", "-p", "tcp://127.0.0.1"} << "tcp://127.0.0.1: a transparent gateway needs its port: tcp://HOST:PORT";
    QTest::newRow("IPv6 without brackets") << QStringList{"read", "-p", "modbus-tcp://::1:502"}
                                           << "modbus-tcp://::1:502: write an IPv6 address in brackets, as in "
                                              "tcp://[::1]:502";
    QTest::newRow("port beyond 65535") << QStringList{"read", "-p", "tcp://127.0.0.1:65536"}
                                       << "tcp://127.0.0.1:65536: the port must be a number from 1 to 65535";
    QTest::newRow("unknown scheme") << QStringList{"read", "-p", "udp://127.0.0.1:502"}
                                    << "udp://127.0.0.1:502: a gateway is named tcp://HOST:PORT or "
                                       "modbus-tcp://HOST[:PORT]";
    QTest::newRow("rates to try behind a gateway") << QStringList{"find", "-p", "modbus-tcp://127.0.0.1", "--bauds",
        "9600"} << "find through a gateway asks at the rate behind it and takes no --bauds (give -b if it is not 9600)";
    QTest::newRow("port with find") << QStringList{"find", "-p", "COM1"} << "find takes --ports, not --port";
    QTest::newRow("station with address")
        << QStringList{"address", "-s", "3"} << "address reads through station 250 and takes no --station";
    QTest::newRow("influx with find") << QStringList{"find", "-f", "influx"}
                                      << "--format influx is for read, watch and set";
    QTest::newRow("port number 0") << QStringList{"read", "-p", "COM0"} << "COM0: port numbers run from COM1 to COM255";
    QTest::newRow("bauds") << QStringList{"find", "--bauds", "9600,300"}
                           << "--bauds: '300' is not 2400, 4800, 9600 or 19200";
    QTest::newRow("stray word") << QStringList{"read", "now"} << "unexpected 'now' after read";
    QTest::newRow("set without value") << QStringList{"set", "baud"}
                                       << "set needs a setting and its value, e.g. set temperature-offset 1.5";
    QTest::newRow("unknown setting") << QStringList{"set", "station", "3"}
                                     << "unknown setting 'station': temperature-offset, humidity-offset or baud";
    QTest::newRow("offset out of range") << QStringList{"set", "temperature-offset", "10.01"}
                                         << "temperature-offset must lie between -10.00 and 10.00";
    QTest::newRow("negative offset out of range")
        << QStringList{"set", "humidity-offset", "-12"} << "humidity-offset must lie between -10.00 and 10.00";
    QTest::newRow("offset not a number") << QStringList{"set", "humidity-offset", "1,5"}
                                         << "humidity-offset needs a number, not '1,5'";
    QTest::newRow("baud not a rate") << QStringList{"set", "baud", "9601"} << "baud must be 2400, 4800, 9600 or 19200";
    QTest::newRow("set with a list") << QStringList{"set", "baud", "9600", "-s", "1,2"}
                                     << "set reads the setting back from one station, not from a list";
}

void tst_CliArguments::refused()
{
    QFETCH(QStringList, arguments);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    QCOMPARE(parsed.action, ParsedCommandLine::Action::UsageError);
    QTEST(parsed.problem, "problem");
}

void tst_CliArguments::gatewayAddresses_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("modbusTcp");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("portNumber");

    QTest::newRow("transparent") << "tcp://127.0.0.1:4001" << false << "127.0.0.1" << 4001;
    QTest::newRow("Modbus TCP on its own port") << "modbus-tcp://gateway.local" << true << "gateway.local" << 502;
    QTest::newRow("Modbus TCP on another port") << "modbus-tcp://127.0.0.1:5020" << true << "127.0.0.1" << 5020;
    QTest::newRow("IPv6 in brackets") << "tcp://[::1]:4001" << false << "::1" << 4001;
    QTest::newRow("IPv6 on port 502") << "modbus-tcp://[fe80::1]" << true << "fe80::1" << 502;
}

void tst_CliArguments::gatewayAddresses()
{
    QFETCH(QString, port);
    const ParsedCommandLine parsed = parseCommandLine({"read", "-p", port});
    QCOMPARE(parsed.action, ParsedCommandLine::Action::Run);
    QVERIFY(parsed.options.gateway);
    QFETCH(bool, modbusTcp);
    QCOMPARE(parsed.options.gateway->framing == Framing::Mbap, modbusTcp);
    QTEST(parsed.options.gateway->host, "host");
    QTEST(int(parsed.options.gateway->port), "portNumber");
    // A serial port is no gateway.
    QVERIFY(!parseCommandLine({"read", "-p", "/dev/ttyUSB0"}).options.gateway);
}

void tst_CliArguments::helpAndVersionWin()
{
    // Asked for anywhere, even beside a mistake.
    QCOMPARE(parseCommandLine({"read", "-b", "1", "--help"}).action, ParsedCommandLine::Action::Help);
    QCOMPARE(parseCommandLine({"-h"}).action, ParsedCommandLine::Action::Help);
    QCOMPARE(parseCommandLine({"-vh"}).action, ParsedCommandLine::Action::Help);
    QCOMPARE(parseCommandLine({"--version", "nonsense"}).action, ParsedCommandLine::Action::Version);
}

void tst_CliArguments::helpNamesOnlyOptionsThatExist()
{
    // The option lines are made from the option table; the prose around them
    // ("watch ... or --count") is written by hand and must not name an option
    // that was renamed or dropped. An unknown option is refused even beside --help.
    QCOMPARE(parseCommandLine({"--help", "--no-such-option", "1"}).action, ParsedCommandLine::Action::UsageError);
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    QStringList named;
    for (auto match = option.globalMatch(helpText()); match.hasNext();)
        named << match.next().captured();
    named.removeDuplicates();
    QVERIFY2(
        named.contains("--count") && named.contains("-p") && named.contains("--scan"), qPrintable(named.join(' ')));
    QStringList unknown;
    for (const QString& name : std::as_const(named)) {
        if (parseCommandLine({"--help", name, "1"}).action != ParsedCommandLine::Action::Help)
            unknown << name;
    }
    QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(' ')));
}

void tst_CliArguments::shortestPeriods_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("stations");
    QTest::addColumn<int>("shortestMs");
    // 8 request and 15 reply characters, the 5 ms turnaround (or the longer
    // 3.5-character silence at 2400), and that silence between stations.
    QTest::newRow("9600") << 9600 << 1 << 29;
    QTest::newRow("2400") << 2400 << 1 << 111;
    QTest::newRow("4800") << 4800 << 1 << 56;
    QTest::newRow("19200") << 19200 << 1 << 17;
    QTest::newRow("9600, three stations") << 9600 << 3 << 95;
}

void tst_CliArguments::shortestPeriods()
{
    QFETCH(int, baud);
    QFETCH(int, stations);
    QTEST(int(shortestPeriod(baud, stations).count()), "shortestMs");
}

QTEST_GUILESS_MAIN(tst_CliArguments)
#include "tst_cli_arguments.moc"

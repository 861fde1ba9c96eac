#pragma once

#include "cli/line_address.h"
#include "cli/setting_change.h"
#include "session/record_format.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>

namespace kv::cli {

enum class Command { Read, Watch, Set, Address, Find, Serve };

// Everything a run of kv9240b was asked to do, checked.
struct Options {
    Command command = Command::Read;
    QString port = QStringLiteral("COM1"); // COM<n>, a device path, or a gateway's address
    std::optional<GatewayAddress> gateway; // -p named a gateway: tcp:// or modbus-tcp://
    int baudRate = 9600;
    QList<std::uint8_t> stations{1};
    bool stationGiven = false;                        // -s was on the command line
    std::optional<std::chrono::milliseconds> timeout; // empty: the exchange on the wire + 100 ms
    RecordFormat format = RecordFormat::Text;
    std::chrono::milliseconds interval{1000};
    qint64 count = 0; // watch: rounds to poll; 0: until stopped
    QString output;   // empty: standard output
    bool verbose = false;
    bool exitZero = false;                         // read, watch: failed readings do not make the exit status 1
    std::optional<SettingChange> setting;          // set
    bool all = false;                              // set: write whoever answers station 250
    QStringList ports;                             // find; empty: every serial device present
    QList<int> baudRates{9600, 19200, 4800, 2400}; // find
    bool scan = false;                             // find
    QString config;                                // serve: the configuration file
};

// What the command line asks for: a run, the help, the version, or nothing
// because it is wrong (`problem` says what, in one line).
struct ParsedCommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::UsageError;
    Options options;
    QString problem;
};

// Reads the arguments (without the program's name). Options may stand before
// or after the command; "--name=value", "--name value", "-x value" and "-xvalue"
// all work; "--" ends the options. A word that reads as a negative number is a
// value, never an option, so "set humidity-offset -1.2" needs no "--".
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// COM<n> (any case) as its port number 1 to 255; nothing for a device path.
std::optional<int> comPortNumber(const QString& port);

// The shortest watch period at this rate for this many stations: each
// exchange on the wire (request, turnaround, reply of five registers) and the
// silence between one reply and the next request.
std::chrono::milliseconds shortestPeriod(int baudRate, int stations);

QString helpText();
QString versionText();

} // namespace kv::cli

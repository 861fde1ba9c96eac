#pragma once

#include "fault_rules.h"
#include "network_line.h"

#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv::sim {

struct SimOptions {
    QString port;                       // empty: a fresh pseudo-terminal
    std::optional<GatewayKind> gateway; // --tcp or --modbus-tcp: sensors behind a gateway instead
    quint16 gatewayPort = 0;            // 0: one the system picks
    QString listen = QStringLiteral("127.0.0.1");
    int baudRate = 9600;
    std::vector<std::uint8_t> stations{1}; // one sensor each, in the order given
    double temperature = 25.0;
    double humidity = 60.0;
    bool drift = false;
    std::optional<quint32> seed;
    std::chrono::milliseconds turnaround{5};
    std::vector<FaultRule> faults;
    bool quiet = false;
};

// Reads the command line. --help, --version and unknown options end the
// program as QCommandLineParser does; a bad value returns nothing with the
// reason in error.
std::optional<SimOptions> readOptions(const QStringList& arguments, QString& error);

} // namespace kv::sim

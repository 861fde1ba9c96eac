#pragma once

#include "line/line.h"

#include <QString>

#include <optional>

namespace kv::cli {

// A gateway named by -p: tcp://HOST:PORT passes RTU frames through,
// modbus-tcp://HOST[:PORT] speaks Modbus TCP (port 502 unless told). HOST is
// an IPv4 address, a host name, or an IPv6 address in brackets.
struct GatewayAddress {
    Framing framing = Framing::Rtu;
    QString host; // without brackets
    quint16 port = 0;
};

constexpr quint16 ModbusTcpPort = 502;

// Whether the text names a gateway at all (starts with a scheme and "://").
bool namesGateway(const QString& text);

// Reads a gateway's address; nothing, with the reason in `problem`, when the
// text is not one of the two forms.
std::optional<GatewayAddress> readGatewayAddress(const QString& text, QString& problem);

} // namespace kv::cli

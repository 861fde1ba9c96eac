#pragma once

#include "serial_line.h"

#include <functional>
#include <memory>

namespace kv::sim {

// How a gateway in front of the sensors carries their frames over TCP.
enum class GatewayKind {
    Transparent, // RTU frames as they are, CRC included
    ModbusTcp,   // MBAP header and PDU; the gateway adds and checks the CRC
};

// The sensors behind an Ethernet gateway listening on ADDRESS:PORT (port 0:
// one the system picks; devicePath() names the port taken). One client at a
// time, as a serial line has one master: a second connection is closed at
// once and `note` says so. `note` also hears connections come and go.
std::unique_ptr<SerialLine> openGatewayLine(
    const QString& address, quint16 port, GatewayKind kind, std::function<void(const QString&)> note, QString& error);

} // namespace kv::sim

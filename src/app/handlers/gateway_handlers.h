#pragma once

#include <QString>

namespace kv {

struct Form;
struct GatewayAddress;

// The network connection's dialog accepted: connects to the gateway (a busy
// cursor while the connection is made, at most a few seconds) and, when that
// worked, uses the connection in place of the serial port: one more entry at
// the end of the port list ("TCP 10.0.0.5:4001", "Modbus TCP 10.0.0.5:502"),
// chosen, the green lamp, polling allowed again. A failure is reported with
// its reason; the serial port, if in use, stays as it was.
void connectGateway(Form& form, const GatewayAddress& address);

// The connection's entry chosen in the port list, or the open button pressed
// while it is in use: the connection is made again, as a port is reopened.
void reopenGateway(Form& form);

// A COM entry chosen while the connection is in use: the connection is
// closed (kept for its entry) and the window goes back to its serial port.
void leaveGateway(Form& form);

// The position of the connection's entry in the port list; -1 before the
// first connection.
int gatewayEntry(const Form& form);

// The name of the line in use as the port list shows it: "COM3", "TCP 10.0.0.5:4001".
QString lineName(const Form& form);

} // namespace kv

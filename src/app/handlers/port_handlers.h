#pragma once

namespace kv {

struct Form;

// The open button: opens the port (or closes and reopens an open one) with
// the green lamp; a failure turns the lamp red and is reported. On a
// connection to a gateway, the connection is made again.
void cmdCom_Click(Form& form);

// The close button: red lamp, port (or connection) closed.
void Command1_Click(Form& form);

// A port chosen in the port list: closes the port (or leaves the connection
// to a gateway), takes the new port number, applies the line settings and
// opens it. Failures to open are silent but for the red lamp; an opened port
// leaves the lamp alone. The connection's entry makes the connection again.
void Combo1_Click(Form& form);

// A baud rate chosen: stored, and applied by reopening an open port. A port
// left closed shows red. On a connection to a gateway the line stays as it
// is: only the timeouts follow the rate.
void Combo2_Click(Form& form);

// The line lost its device (or the gateway its connection) while open and
// closed it: red lamp, polling stops sending, and the technician is told
// which device or connection went away (unless another message box is
// already open).
void showLostPort(Form& form);

} // namespace kv

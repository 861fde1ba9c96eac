#pragma once

#include <QString>

namespace kv {

class SerialLine;
class TcpLine;

// Why the serial port's last open failed, in the window's language: what
// went wrong with which device, and what the technician can do about it.
QString openFailureText(const SerialLine& port);

// Why the last connection to a gateway failed or ended, in the window's
// language: what went wrong and what the technician can check.
QString connectFailureText(const TcpLine& connection);

} // namespace kv

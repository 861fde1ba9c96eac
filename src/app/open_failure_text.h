#pragma once

#include <QString>

namespace kv {

class SerialLine;

// Why the serial port's last open failed, in the window's language: what
// went wrong with which device, and what the technician can do about it.
QString openFailureText(const SerialLine& port);

} // namespace kv

#pragma once

#include <QString>

namespace kv {

// Who holds a serial device, as the lock file the serial port takes beside
// opening the device exclusively says it: "kv9240b, process 1234". Empty
// when no such lock file tells (a program that takes no lock, or none held).
QString portHolder(const QString& devicePath);

} // namespace kv

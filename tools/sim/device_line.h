#pragma once

#include "serial_line.h"

#include <memory>

namespace kv::sim {

// A real serial device (an RS-485 adapter) set to raw 8N1 at the given rate.
std::unique_ptr<SerialLine> openDeviceLine(const QString& path, int baudRate, QString& error);

} // namespace kv::sim

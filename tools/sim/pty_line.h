#pragma once

#include "serial_line.h"

#include <memory>

namespace kv::sim {

// A fresh pseudo-terminal in raw mode at the given rate; the tool opens its
// other end and may set another rate there.
std::unique_ptr<SerialLine> openPseudoTerminal(int baudRate, QString& error);

} // namespace kv::sim

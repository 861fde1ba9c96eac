#pragma once

#include "serial_line.h"

#include <memory>

namespace kv::sim {

// A fresh pseudo-terminal in raw mode; the tool opens its other end.
std::unique_ptr<SerialLine> openPseudoTerminal(QString& error);

} // namespace kv::sim

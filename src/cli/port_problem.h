#pragma once

#include "serial/comm_port.h"

#include <QString>

namespace kv::cli {

// Why the port could not be opened, in English, with what to do about it:
// the adapter missing, the device held by another program, or no permission
// (with the dialout hint). `port` is what the user named: COM<n> or a path.
QString openProblemText(const CommPort& port, const QString& named);

} // namespace kv::cli

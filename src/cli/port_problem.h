#pragma once

#include "line/serial_line.h"
#include "net/tcp_line.h"

#include <QString>

namespace kv::cli {

// Why the port could not be opened, in English, with what to do about it:
// the adapter missing, the device held by another program, or no permission
// (with the dialout hint). `port` is what the user named: COM<n> or a path.
QString openProblemText(const SerialLine& port, const QString& named);

// Why the connection to a gateway failed or ended, in English: "cannot connect
// to 127.0.0.1:5020: connection refused", "127.0.0.1:5020: closed by the gateway".
QString gatewayProblemText(const TcpLine& gateway);

} // namespace kv::cli

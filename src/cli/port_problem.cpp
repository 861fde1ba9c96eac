#include "cli/port_problem.h"

namespace kv::cli {

QString openProblemText(const SerialLine& port, const QString& named)
{
    const QString device = port.devicePath();
    // "COM3 (/dev/ttyUSB0)" when a port number was named, else the path alone.
    const QString which = device.isEmpty() || device == named ? named : QStringLiteral("%1 (%2)").arg(named, device);
    switch (port.openFailure()) {
    case SerialLine::OpenFailure::NoDevice:
        return QStringLiteral("%1: no serial device stands behind this port number; is the RS-485 adapter plugged in? "
                              "(KV9240B_COM<n> points a port number at a device)")
            .arg(named);
    case SerialLine::OpenFailure::Missing:
        return QStringLiteral("%1 does not exist; is the RS-485 adapter plugged in?").arg(which);
    case SerialLine::OpenFailure::Permission:
        return QStringLiteral("no permission to use %1: serial devices usually belong to the dialout group; run "
                              "'sudo usermod -aG dialout $USER' and log in again")
            .arg(which);
    case SerialLine::OpenFailure::Busy:
        return QStringLiteral("%1 is busy: another program has it open (%2)").arg(which, port.openFailureDetail());
    case SerialLine::OpenFailure::Settings:
        return QStringLiteral("%1 does not accept the line settings %2").arg(which, port.settings());
    case SerialLine::OpenFailure::AlreadyOpen: // the command line opens its port once
    case SerialLine::OpenFailure::Other:
    case SerialLine::OpenFailure::None:
        break;
    }
    return QStringLiteral("cannot open %1: %2").arg(which, port.openFailureDetail());
}

QString gatewayProblemText(const TcpLine& gateway)
{
    const QString where = gateway.description();
    switch (gateway.failure()) {
    case TcpFailure::ClosedByPeer:
        return QStringLiteral("%1: closed by the gateway").arg(where);
    case TcpFailure::Refused:
        return QStringLiteral("cannot connect to %1: connection refused").arg(where);
    case TcpFailure::Unreachable:
        return QStringLiteral("cannot connect to %1: no route to host").arg(where);
    case TcpFailure::NameNotFound:
        return QStringLiteral("cannot connect to %1: name not found").arg(where);
    case TcpFailure::TimedOut:
        return QStringLiteral("cannot connect to %1: no answer within %2 s")
            .arg(where)
            .arg(gateway.connectTimeout().count() / 1000.0);
    case TcpFailure::Other:
    case TcpFailure::None:
        break;
    }
    return QStringLiteral("cannot connect to %1: %2").arg(where, gateway.failureDetail());
}

} // namespace kv::cli

#include "cli/line_address.h"

#include <QHostAddress>

namespace kv::cli {

namespace {

const QString TcpScheme = QStringLiteral("tcp://");
const QString ModbusTcpScheme = QStringLiteral("modbus-tcp://");

} // namespace

bool namesGateway(const QString& text)
{
    return text.contains(QStringLiteral("://"));
}

std::optional<GatewayAddress> readGatewayAddress(const QString& text, QString& problem)
{
    GatewayAddress address;
    QString rest;
    if (text.startsWith(TcpScheme, Qt::CaseInsensitive)) {
        rest = text.mid(TcpScheme.size());
    } else if (text.startsWith(ModbusTcpScheme, Qt::CaseInsensitive)) {
        rest = text.mid(ModbusTcpScheme.size());
        address.framing = Framing::Mbap;
        address.port = ModbusTcpPort;
    } else {
        problem = QStringLiteral("%1: a gateway is named tcp://HOST:PORT or modbus-tcp://HOST[:PORT]").arg(text);
        return std::nullopt;
    }

    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        const QString after = close < 0 ? QString() : rest.mid(close + 1);
        address.host = rest.mid(1, close - 1);
        if (close < 0 || (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            || QHostAddress(address.host).protocol() != QAbstractSocket::IPv6Protocol) {
            problem = QStringLiteral("%1: an IPv6 address in brackets is written [::1]:PORT").arg(text);
            return std::nullopt;
        }
        if (!after.isEmpty())
            portText = after.mid(1);
        if (after == QLatin1String(":")) {
            problem = QStringLiteral("%1: the port is missing after ':'").arg(text);
            return std::nullopt;
        }
    } else {
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        if (colon >= 0 && rest.indexOf(QLatin1Char(':'), colon + 1) >= 0) {
            problem = QStringLiteral("%1: write an IPv6 address in brackets, as in tcp://[::1]:502").arg(text);
            return std::nullopt;
        }
        address.host = colon < 0 ? rest : rest.left(colon);
        if (colon >= 0) {
            portText = rest.mid(colon + 1);
            if (portText.isEmpty()) {
                problem = QStringLiteral("%1: the port is missing after ':'").arg(text);
                return std::nullopt;
            }
        }
    }
    if (address.host.isEmpty() || address.host.contains(QLatin1Char('/'))) {
        problem = QStringLiteral("%1: the gateway's host is missing").arg(text);
        return std::nullopt;
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            problem = QStringLiteral("%1: the port must be a number from 1 to 65535").arg(text);
            return std::nullopt;
        }
        address.port = static_cast<quint16>(port);
    }
    if (address.port == 0) {
        problem = QStringLiteral("%1: a transparent gateway needs its port: tcp://HOST:PORT").arg(text);
        return std::nullopt;
    }
    return address;
}

} // namespace kv::cli

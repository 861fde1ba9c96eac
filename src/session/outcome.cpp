#include "session/outcome.h"

#include "protocol/modbus/mbap.h"

namespace kv {

QByteArray Outcome::frame() const
{
    if (framing == Framing::Rtu)
        return reply;
    return reply.mid(MbapHeaderLength - 1);
}

OutcomeKind outcomeOf(const ReplyCheck& check)
{
    switch (check.verdict) {
    case ReplyVerdict::Ok:
        return OutcomeKind::Ok;
    case ReplyVerdict::NoReply:
        return OutcomeKind::NoReply;
    case ReplyVerdict::Partial:
        return OutcomeKind::Partial;
    case ReplyVerdict::BadCrc:
        return OutcomeKind::BadCrc;
    case ReplyVerdict::Exception:
        return OutcomeKind::Exception;
    case ReplyVerdict::Unexpected:
        return OutcomeKind::Unexpected;
    }
    return OutcomeKind::NoReply;
}

QString statusCode(OutcomeKind kind, std::uint8_t exceptionCode)
{
    switch (kind) {
    case OutcomeKind::Ok:
        return QStringLiteral("ok");
    case OutcomeKind::NoReply:
        return QStringLiteral("no-reply");
    case OutcomeKind::Partial:
        return QStringLiteral("partial");
    case OutcomeKind::BadCrc:
        return QStringLiteral("bad-crc");
    case OutcomeKind::Exception:
        return QStringLiteral("exception-")
            + QStringLiteral("%1").arg(exceptionCode, 2, 16, QLatin1Char('0')).toUpper();
    case OutcomeKind::Unexpected:
        return QStringLiteral("unexpected");
    case OutcomeKind::PortLost:
        return QStringLiteral("port-lost");
    }
    return {};
}

} // namespace kv

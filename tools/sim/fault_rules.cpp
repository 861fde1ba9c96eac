#include "fault_rules.h"

#include <array>
#include <utility>

namespace kv::sim {

namespace {

constexpr std::array<std::pair<const char*, FaultKind>, 10> KindNames{{
    {"bad-crc", FaultKind::BadCrc},
    {"no-reply", FaultKind::NoReply},
    {"partial", FaultKind::Partial},
    {"extra-bytes", FaultKind::ExtraBytes},
    {"exception", FaultKind::Exception},
    {"delay", FaultKind::Delay},
    {"wrong-station", FaultKind::WrongStation},
    {"wrong-transaction", FaultKind::WrongTransaction},
    {"disconnect", FaultKind::Disconnect},
    {"split", FaultKind::Split},
}};

constexpr int MaxExtraBytes = 4;
constexpr std::uint8_t LastOrdinaryStation = 247;

std::optional<FaultKind> kindNamed(const QString& name)
{
    for (const auto& [text, kind] : KindNames) {
        if (name == QLatin1String(text))
            return kind;
    }
    return std::nullopt;
}

// ",to=250", ",times=1": which replies a rule may hit, and how many.
bool readQualifiers(const QStringList& qualifiers, const QString& text, FaultRule& rule, QString& error)
{
    for (const QString& qualifier : qualifiers) {
        const QString name = qualifier.section(QLatin1Char('='), 0, 0);
        bool ok = false;
        const int number = qualifier.section(QLatin1Char('='), 1).toInt(&ok);
        if (name == QLatin1String("to") && ok && number >= 1 && number <= 250) {
            rule.onlyTo = static_cast<std::uint8_t>(number);
        } else if (name == QLatin1String("times") && ok && number >= 1) {
            rule.timesLeft = number;
        } else {
            error = QStringLiteral("fault \"%1\": \"%2\" should read to=STATION (1 to 250) or times=N (1 or more)")
                        .arg(text, qualifier);
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<FaultRule> parseFaultRule(const QString& text, QString& error)
{
    const QStringList qualifiers = text.split(QLatin1Char(',')).mid(1);
    const QStringList parts = text.section(QLatin1Char(','), 0, 0).split(QLatin1Char(':'));
    const std::optional<FaultKind> kind = kindNamed(parts.value(0));
    if (!kind) {
        error
            = QStringLiteral("unknown fault kind in \"%1\" (bad-crc, no-reply, partial, extra-bytes, exception, delay, "
                             "wrong-station, wrong-transaction, disconnect, split)")
                  .arg(text);
        return std::nullopt;
    }
    const qsizetype allowedParts = *kind == FaultKind::Delay ? 3 : 2;
    if (parts.size() < 2 || parts.size() > allowedParts) {
        error = QStringLiteral("fault \"%1\" should read %2")
                    .arg(text,
                        *kind == FaultKind::Delay ? QStringLiteral("delay:PROBABILITY[:MS]")
                                                  : parts[0] + QStringLiteral(":PROBABILITY"));
        return std::nullopt;
    }
    FaultRule rule;
    rule.kind = *kind;
    bool ok = false;
    rule.probability = parts[1].toDouble(&ok);
    // Written so that "nan", which reads as a number, fails it too.
    if (!ok || !(rule.probability >= 0 && rule.probability <= 1)) {
        error = QStringLiteral("probability in fault \"%1\" should lie between 0 and 1").arg(text);
        return std::nullopt;
    }
    if (parts.size() == 3) {
        const int ms = parts[2].toInt(&ok);
        if (!ok || ms < 0) {
            error = QStringLiteral("delay in fault \"%1\" should be whole milliseconds").arg(text);
            return std::nullopt;
        }
        rule.delay = std::chrono::milliseconds(ms);
    }
    if (!readQualifiers(qualifiers, text, rule, error))
        return std::nullopt;
    return rule;
}

DrawnFaults drawFaults(std::span<FaultRule> rules, std::uint8_t station, QRandomGenerator& random)
{
    DrawnFaults drawn;
    for (FaultRule& rule : rules) {
        if ((rule.onlyTo && *rule.onlyTo != station) || rule.timesLeft == 0)
            continue;
        // generateDouble() lies in [0, 1): probability 1 always hits, 0 never.
        if (random.generateDouble() >= rule.probability)
            continue;
        if (rule.timesLeft)
            --*rule.timesLeft;
        switch (rule.kind) {
        case FaultKind::BadCrc:
            drawn.badCrc = true;
            break;
        case FaultKind::NoReply:
            drawn.noReply = true;
            break;
        case FaultKind::Partial:
            drawn.partial = true;
            break;
        case FaultKind::ExtraBytes:
            drawn.extraBytes = true;
            break;
        case FaultKind::Exception:
            drawn.exception = true;
            break;
        case FaultKind::Delay:
            drawn.delay += rule.delay;
            break;
        case FaultKind::WrongStation:
            drawn.wrongStation = true;
            break;
        case FaultKind::WrongTransaction:
            drawn.wrongTransaction = true;
            break;
        case FaultKind::Disconnect:
            drawn.disconnect = true;
            break;
        case FaultKind::Split:
            drawn.split = true;
            break;
        }
    }
    return drawn;
}

std::uint8_t neighbourStation(std::uint8_t station)
{
    return station >= LastOrdinaryStation ? 1 : static_cast<std::uint8_t>(station + 1);
}

QStringList damageReply(Frame& reply, const DrawnFaults& faults, QRandomGenerator& random)
{
    QStringList changes;
    // First, so that the damage below can still spoil the re-addressed reply.
    if (faults.wrongStation && reply.size() >= 3) {
        const std::uint8_t rightful = reply[0];
        Frame body(reply.begin(), reply.end() - 2);
        body[0] = neighbourStation(rightful);
        reply = withCrc(std::move(body));
        changes << QStringLiteral("wrong-station %1 for %2").arg(reply[0]).arg(rightful);
    }
    if (faults.badCrc && reply.size() >= 2) {
        const std::size_t at = reply.size() - 2 + random.bounded(2u);
        reply[at] ^= static_cast<std::uint8_t>(1u << random.bounded(8u));
        changes << QStringLiteral("bad-crc");
    }
    if (faults.partial && reply.size() >= 2) {
        const std::size_t kept = 1 + random.bounded(static_cast<quint32>(reply.size() - 1));
        changes << QStringLiteral("partial %1 of %2 bytes").arg(kept).arg(reply.size());
        reply.resize(kept);
    }
    if (faults.disconnect && reply.size() >= 2) {
        const std::size_t kept = reply.size() / 2;
        changes << QStringLiteral("disconnect after %1 of %2 bytes").arg(kept).arg(reply.size());
        reply.resize(kept);
        return changes; // nothing follows the end of the connection
    }
    if (faults.extraBytes) {
        const int extra = 1 + static_cast<int>(random.bounded(static_cast<quint32>(MaxExtraBytes)));
        for (int i = 0; i < extra; ++i)
            reply.push_back(static_cast<std::uint8_t>(random.bounded(256u)));
        changes << QStringLiteral("extra-bytes +%1").arg(extra);
    }
    return changes;
}

} // namespace kv::sim

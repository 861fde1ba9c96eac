#include "sim_server.h"

#include "bus_notes.h"
#include "protocol/modbus/wire_timing.h"
#include "sensor_bus.h"
#include "serial_line.h"
#include "shutdown_signals.h"
#include "sim_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>

namespace kv::sim {

namespace {

// While nobody has the pseudo-terminal open its master reports a hang-up
// without end; look again this often for someone opening it.
constexpr std::chrono::milliseconds PeerCheckInterval{2};

timespec asTimespec(std::chrono::nanoseconds span)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((span - seconds).count())};
}

QString ignoredReason(Reception reception, const Frame& frame)
{
    switch (reception) {
    case Reception::TooShort:
        return QStringLiteral("ignored: too short");
    case Reception::BadCrc:
        return QStringLiteral("ignored: bad CRC");
    case Reception::OtherStation:
        return QStringLiteral("ignored: for station %1").arg(frame[0]);
    case Reception::Accepted:
        break;
    }
    return {};
}

} // namespace

SimServer::SimServer(SerialLine& line, SensorBus& bus, QRandomGenerator& random, const SimLog& log, Settings settings)
    : m_line(line)
    , m_bus(bus)
    , m_random(random)
    , m_log(log)
    , m_settings(std::move(settings))
    , m_started(Clock::now())
    , m_lineBaudRate(bus.device(0).baudRate())
{
}

int SimServer::run(const sigset_t& waitMask)
{
    while (!shutdownRequested() && !m_failed) {
        if (!wait(nextDeadline(), waitMask))
            return 1;
        const Clock::time_point now = Clock::now();
        if (m_outgoing)
            sendDueBytes(now);
        if (!m_incoming.empty() && now >= frameEnd())
            frameEnded(now);
    }
    return m_failed ? 1 : 0;
}

SimServer::Clock::time_point SimServer::transmissionEnd() const
{
    return m_outgoing->start + characterTime(m_outgoing->baudRate) * static_cast<long long>(m_outgoing->bytes.size());
}

SimServer::Clock::time_point SimServer::frameEnd() const
{
    // The silence is timed at the rate the bytes came at, as a receiver at
    // that rate would time it.
    const int rate = m_incomingBaudRate > 0 ? m_incomingBaudRate : m_lineBaudRate;
    return m_lastByteIn + silentInterval(rate);
}

std::optional<SimServer::Clock::time_point> SimServer::nextDeadline() const
{
    std::optional<Clock::time_point> deadline;
    if (m_outgoing) {
        if (m_line.pacedByHardware())
            deadline = m_outgoing->written == 0 ? m_outgoing->start : transmissionEnd();
        else
            deadline = m_outgoing->start
                + characterTime(m_outgoing->baudRate) * static_cast<long long>(m_outgoing->written + 1);
    }
    if (!m_incoming.empty())
        deadline = deadline ? std::min(*deadline, frameEnd()) : frameEnd();
    return deadline;
}

bool SimServer::wait(std::optional<Clock::time_point> deadline, const sigset_t& waitMask)
{
    if (m_peerAbsent) {
        // A descriptor that would wake us at once is no use: nap, then look again.
        m_peerAbsent = false;
        const Clock::time_point napEnd
            = std::min(deadline.value_or(Clock::time_point::max()), Clock::now() + PeerCheckInterval);
        const timespec nap = asTimespec(std::max(napEnd - Clock::now(), Clock::duration::zero()));
        ::ppoll(nullptr, 0, &nap, &waitMask);
        return true;
    }

    pollfd watch{m_line.descriptor(), POLLIN, 0};
    timespec timeout{};
    if (deadline)
        timeout = asTimespec(std::max(*deadline - Clock::now(), Clock::duration::zero()));
    const int ready = ::ppoll(&watch, 1, deadline ? &timeout : nullptr, &waitMask);
    if (ready < 0) {
        if (errno == EINTR)
            return true; // a signal: run() checks the flag
        std::fprintf(stderr, "kv9240b-sim: waiting on the line failed: %s\n", std::strerror(errno));
        return false;
    }
    return ready == 0 || takeInput(watch.revents);
}

bool SimServer::takeInput(short events)
{
    if (events & POLLNVAL) {
        std::fprintf(stderr, "kv9240b-sim: the line was closed under us\n");
        return false;
    }
    const std::size_t before = m_incoming.size();
    const LineState state = m_line.receive(m_incoming);
    const bool gotBytes = m_incoming.size() > before;
    if (gotBytes && before == 0) {
        // Read as the frame begins: the rate its bytes went out at.
        m_incomingBaudRate = m_line.peerBaudRate().value_or(m_lineBaudRate);
    }
    if (gotBytes) {
        m_lastByteIn = Clock::now();
        m_incomingOverlapsReply = m_incomingOverlapsReply || m_outgoing.has_value();
    }
    // An error or hang-up that reads as nothing would wake every wait at once.
    const bool stuck = (events & ~POLLIN) != 0 && state == LineState::Open && !gotBytes;
    if (state == LineState::Failed || stuck) {
        std::fprintf(stderr, "kv9240b-sim: %s is gone\n", qPrintable(m_line.devicePath()));
        return false;
    }
    m_peerAbsent = state == LineState::PeerAbsent;
    return true;
}

void SimServer::frameEnded(Clock::time_point now)
{
    Frame request = std::exchange(m_incoming, {});
    m_log.received(m_lastByteIn, request);
    if (std::exchange(m_incomingOverlapsReply, false) || m_outgoing) {
        // Half duplex, one request at a time: what comes in while a reply is
        // pending or on its way is lost, as on the bus.
        m_log.note(now, QStringLiteral("ignored: arrived while replying"));
        return;
    }
    const Reception reception = m_bus.receive(request);
    if (reception != Reception::Accepted) {
        m_log.note(now, ignoredReason(reception, request));
        return;
    }
    SensorBus::Audience audience = m_bus.audience(request, m_incomingBaudRate);
    if (!audience.deaf.empty())
        m_log.note(now, rateMismatch(m_bus, audience, m_incomingBaudRate));
    if (!audience.hearing.empty())
        startReply(std::move(request), std::move(audience.hearing), now);
}

void SimServer::startReply(Frame request, std::vector<std::size_t> senders, Clock::time_point now)
{
    DrawnFaults faults = drawFaults(m_settings.faults, request.at(0), m_random);
    // A sensor that does not answer or reports a failure has not carried out the request.
    if (faults.noReply) {
        m_log.fault(now, QStringLiteral("no-reply"));
        return;
    }

    std::vector<std::uint8_t> stationsBefore;
    for (const std::size_t sender : senders)
        stationsBefore.push_back(m_bus.device(sender).station());
    constexpr std::uint8_t ServerDeviceFailure = 0x04;
    const std::optional<std::uint8_t> failure = faults.exception ? std::optional(ServerDeviceFailure) : std::nullopt;
    const std::vector<Frame> replies = m_bus.answer(request, senders, now - m_started, failure);
    if (faults.exception)
        m_log.fault(now, QStringLiteral("exception 04"));
    for (std::size_t i = 0; i < senders.size(); ++i) {
        const std::uint8_t station = m_bus.device(senders[i]).station();
        if (station == stationsBefore[i])
            continue;
        const QString note = QStringLiteral("station now %1").arg(station);
        m_log.note(now, m_bus.size() == 1 ? note : note + QStringLiteral(" (was %1)").arg(stationsBefore[i]));
    }

    Frame reply;
    if (replies.size() == 1) {
        reply = replies.front();
    } else {
        reply = collide(replies);
        m_log.note(
            now, QStringLiteral("collision of %1 replies (%2)").arg(replies.size()).arg(stationsText(stationsBefore)));
        // The overlay is garbled already: there is no one station to misattribute it to.
        faults.wrongStation = false;
    }
    for (const QString& change : damageReply(reply, faults, m_random))
        m_log.fault(now, change);
    if (faults.delay.count() > 0)
        m_log.fault(now, QStringLiteral("delay %1 ms").arg(faults.delay.count()));
    if (faults.wrongTransaction)
        m_log.fault(now, QStringLiteral("wrong-transaction"));
    if (faults.split)
        m_log.fault(now, QStringLiteral("split"));
    m_line.replyStarts(faults);

    // The turnaround counts from the end of the request; at low rates the
    // silence that marks that end may already have taken longer.
    const Clock::time_point start = std::max(m_lastByteIn + m_settings.turnaround, now) + faults.delay;
    m_outgoing = Outgoing{std::move(reply), start, m_incomingBaudRate, std::move(senders), faults};
}

void SimServer::sendDueBytes(Clock::time_point now)
{
    Outgoing& out = *m_outgoing;
    if (now < out.start)
        return;
    if (m_line.pacedByHardware()) {
        if (out.written == 0) {
            m_line.transmit(out.bytes);
            out.written = out.bytes.size();
        }
        if (now >= transmissionEnd()) {
            m_line.drain();
            replySent(Clock::now());
        }
        return;
    }
    // Deadlines count from the start, so a late wake-up sends the bytes that
    // are due and the next ones are on time again: no drift builds up.
    const auto character = characterTime(out.baudRate);
    std::size_t due = out.written;
    while (due < out.bytes.size() && now >= out.start + character * static_cast<long long>(due + 1))
        ++due;
    if (due > out.written) {
        m_line.transmit(std::span(out.bytes).subspan(out.written, due - out.written));
        out.written = due;
    }
    if (out.written == out.bytes.size())
        replySent(Clock::now());
}

void SimServer::replySent(Clock::time_point now)
{
    m_log.sent(now, m_outgoing->bytes);
    m_line.replyEnded(m_outgoing->faults);
    const Outgoing sent = std::move(*m_outgoing);
    m_outgoing.reset();

    // A new rate, written through this request, applies once its reply is out.
    std::vector<std::uint8_t> changed;
    int newRate = 0;
    for (const std::size_t sender : sent.senders) {
        if (m_bus.device(sender).baudRate() != sent.baudRate) {
            changed.push_back(m_bus.device(sender).station());
            newRate = m_bus.device(sender).baudRate();
        }
    }
    if (changed.empty())
        return;
    // A real port runs at one rate and follows the change; sensors left at
    // another rate can no longer hear it.
    QString error;
    if (!m_line.setBaudRate(newRate, error)) {
        std::fprintf(stderr, "kv9240b-sim: %s\n", qPrintable(error));
        m_failed = true;
        return;
    }
    m_lineBaudRate = newRate;
    const QString note = QStringLiteral("baud rate now %1").arg(newRate);
    m_log.note(now, m_bus.size() == 1 ? note : note + QStringLiteral(" at ") + stationsText(changed));
}

} // namespace kv::sim

#include "sim_server.h"

#include "measurement_model.h"
#include "sensor_device.h"
#include "serial_line.h"
#include "shutdown_signals.h"
#include "sim_log.h"
#include "protocol/wire_timing.h"

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

SimServer::SimServer(SerialLine& line, SensorDevice& device, MeasurementModel& measurement, QRandomGenerator& random, const SimLog& log, Settings settings)
    : m_line(line)
    , m_device(device)
    , m_measurement(measurement)
    , m_random(random)
    , m_log(log)
    , m_settings(std::move(settings))
    , m_started(Clock::now())
    , m_lineBaudRate(device.baudRate())
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
        if (!m_incoming.empty() && now >= m_lastByteIn + silentInterval(m_lineBaudRate))
            frameEnded(now);
    }
    return m_failed ? 1 : 0;
}

SimServer::Clock::time_point SimServer::transmissionEnd() const
{
    return m_outgoing->start + characterTime(m_lineBaudRate) * static_cast<long long>(m_outgoing->bytes.size());
}

std::optional<SimServer::Clock::time_point> SimServer::nextDeadline() const
{
    std::optional<Clock::time_point> deadline;
    if (m_outgoing) {
        if (m_line.pacedByHardware())
            deadline = m_outgoing->written == 0 ? m_outgoing->start : transmissionEnd();
        else
            deadline = m_outgoing->start + characterTime(m_lineBaudRate) * static_cast<long long>(m_outgoing->written + 1);
    }
    if (!m_incoming.empty()) {
        const Clock::time_point frameEnd = m_lastByteIn + silentInterval(m_lineBaudRate);
        deadline = deadline ? std::min(*deadline, frameEnd) : frameEnd;
    }
    return deadline;
}

bool SimServer::wait(std::optional<Clock::time_point> deadline, const sigset_t& waitMask)
{
    if (m_peerAbsent) {
        // A descriptor that would wake us at once is no use: nap, then look again.
        m_peerAbsent = false;
        const Clock::time_point napEnd = std::min(deadline.value_or(Clock::time_point::max()), Clock::now() + PeerCheckInterval);
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
    const Reception reception = m_device.receive(request);
    if (reception != Reception::Accepted) {
        m_log.note(now, ignoredReason(reception, request));
        return;
    }
    startReply(std::move(request), now);
}

void SimServer::startReply(Frame request, Clock::time_point now)
{
    const DrawnFaults faults = drawFaults(m_settings.faults, m_random);
    // A sensor that does not answer or reports a failure has not carried out the request.
    if (faults.noReply) {
        m_log.fault(now, QStringLiteral("no-reply"));
        return;
    }

    const Measured measured = m_measurement.at(now - m_started);
    m_device.setMeasured(measured.temperature, measured.humidity);
    const std::uint8_t stationBefore = m_device.station();
    Frame reply;
    if (faults.exception) {
        constexpr std::uint8_t ServerDeviceFailure = 0x04;
        reply = m_device.exception(request, ServerDeviceFailure);
        m_log.fault(now, QStringLiteral("exception 04"));
    } else {
        reply = m_device.answer(request);
    }
    if (m_device.station() != stationBefore)
        m_log.note(now, QStringLiteral("station now %1").arg(m_device.station()));
    for (const QString& change : damageReply(reply, faults, m_random))
        m_log.fault(now, change);
    if (faults.delay.count() > 0)
        m_log.fault(now, QStringLiteral("delay %1 ms").arg(faults.delay.count()));

    // The turnaround counts from the end of the request; at low rates the
    // silence that marks that end may already have taken longer.
    const Clock::time_point start = std::max(m_lastByteIn + m_settings.turnaround, now) + faults.delay;
    m_outgoing = Outgoing{std::move(reply), start, 0};
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
    const auto character = characterTime(m_lineBaudRate);
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
    m_outgoing.reset();
    if (m_device.baudRate() == m_lineBaudRate)
        return;
    QString error;
    if (!m_line.setBaudRate(m_device.baudRate(), error)) {
        std::fprintf(stderr, "kv9240b-sim: %s\n", qPrintable(error));
        m_failed = true;
        return;
    }
    m_lineBaudRate = m_device.baudRate();
    m_log.note(now, QStringLiteral("baud rate now %1").arg(m_lineBaudRate));
}

} // namespace kv::sim

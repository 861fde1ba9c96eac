#include "cli/serve/served_line.h"

#include "cli/line.h"
#include "session/poller.h"
#include "session/record_format.h"

namespace kv::cli {

namespace {

Options lineOptions(const ServedLineConfig& line, const ServeConfig& settings)
{
    Options options;
    options.port = line.port;
    options.baudRate = line.baudRate;
    options.timeout = settings.timeout;
    if (namesGateway(line.port)) {
        QString problem;
        options.gateway = readGatewayAddress(line.port, problem); // checked when the file was read
    }
    return options;
}

QString secondsText(std::chrono::milliseconds span)
{
    return QStringLiteral("%1 s").arg(span.count() / 1000.0);
}

} // namespace

ServedLine::ServedLine(ServedLineConfig line, const ServeConfig& settings, QObject* parent)
    : QObject(parent)
    , m_config(std::move(line))
    , m_line(std::make_unique<Line>(lineOptions(m_config, settings)))
{
    m_line->setConnectTimeout(ConnectTimeout);
    QList<std::uint8_t> stations;
    for (const ServedSensor& sensor : m_config.sensors)
        stations << sensor.station;
    Poller::Plan plan{stations, settings.interval, 0, settings.retries};
    m_poller = std::make_unique<Poller>(m_line->master, plan, [this](const Reading& reading) { return take(reading); });
    connect(m_poller.get(), &Poller::exchanged, this, &ServedLine::exchanged);
    connect(m_poller.get(), &Poller::finished, this, &ServedLine::onPollerFinished, Qt::QueuedConnection);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &ServedLine::tryOpen);
}

ServedLine::~ServedLine() = default;

void ServedLine::start()
{
    m_stopping = false;
    tryOpen();
}

void ServedLine::stop()
{
    m_stopping = true;
    m_retry.stop();
    if (m_poller->running()) {
        m_poller->stopAfterReading(); // finished() follows once the exchange in flight has ended
        return;
    }
    QMetaObject::invokeMethod(this, &ServedLine::onPollerFinished, Qt::QueuedConnection);
}

void ServedLine::tryOpen()
{
    if (m_stopping)
        return;
    m_line->openAsync([this](const QString& failure) { onOpenFinished(failure); });
}

void ServedLine::onOpenFinished(const QString& failure)
{
    if (m_stopping)
        return; // the line is closed on the way out
    if (!failure.isEmpty()) {
        emit upChanged(false); // also at the start: the line is known to be down
        retryLater(failure);
        return;
    }
    if (std::exchange(m_failing, false))
        complain(QStringLiteral("line %1: %2 open again, polling").arg(m_config.name, m_line->description()));
    m_up = true;
    emit upChanged(true);
    m_poller->start();
}

void ServedLine::retryLater(const QString& problem)
{
    if (!std::exchange(m_failing, true)) {
        complain(QStringLiteral("line %1: %2; trying again after %3, then less often up to every %4")
                     .arg(m_config.name, problem, secondsText(m_backoff), secondsText(LongestBackoff)));
    }
    m_retry.start(m_backoff);
    m_backoff = std::min(m_backoff * 2, LongestBackoff);
}

void ServedLine::onPollerFinished()
{
    if (m_stopping) {
        // Stopped, not lost: whoever stopped it says what becomes of its sensors.
        m_line->close();
        m_up = false;
        emit stopped();
        return;
    }
    // Only a lost port ends the poller otherwise.
    m_line->close();
    m_up = false;
    emit upChanged(false);
    retryLater(m_line->lostText());
}

bool ServedLine::take(const Reading& reading)
{
    emit read(reading);
    if (reading.status == OutcomeKind::PortLost)
        return true; // the poller ends, and the line is reopened
    if (reading.ok())
        m_backoff = FirstBackoff; // the line works: a later loss starts the waits afresh
    const auto known = m_answering.constFind(reading.station);
    const bool changed = known == m_answering.constEnd() ? !reading.ok() : *known != reading.ok();
    if (changed) {
        const QString sensor = QStringLiteral("line %1, station %2 (%3)")
                                   .arg(m_config.name)
                                   .arg(reading.station)
                                   .arg(sensorName(reading.station));
        complain(reading.ok() ? sensor + QStringLiteral(": answering again")
                              : sensor + QStringLiteral(": ") + failureText(reading));
    }
    m_answering[reading.station] = reading.ok();
    return true;
}

QString ServedLine::sensorName(std::uint8_t station) const
{
    for (const ServedSensor& sensor : m_config.sensors) {
        if (sensor.station == station)
            return sensor.name;
    }
    return {};
}

} // namespace kv::cli

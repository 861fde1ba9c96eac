#include "cli/line.h"

#include "cli/port_problem.h"
#include "serial/port_directory.h"

#include <QThread>

namespace kv::cli {

namespace {

std::unique_ptr<kv::Line> lineFor(const Options& options)
{
    if (options.gateway) {
        auto gateway
            = std::make_unique<TcpLine>(options.gateway->host, options.gateway->port, options.gateway->framing);
        gateway->setBaudRate(options.baudRate);
        return gateway;
    }
    std::unique_ptr<SerialLine> port(newSerialLine());
    if (const std::optional<int> number = comPortNumber(options.port))
        port->setCommPort(*number);
    else
        port->setDevice(options.port);
    port->setSettings(settingsText(options.baudRate));
    return port;
}

} // namespace

Line::Line(const Options& options)
    : m_line(lineFor(options))
    , m_serial(qobject_cast<SerialLine*>(m_line.get()))
    , m_gateway(qobject_cast<TcpLine*>(m_line.get()))
    , m_named(options.port)
{
    master.setTimeout(options.timeout);
    if (options.verbose)
        m_log = std::make_unique<FrameLog>(*m_line);
}

Line::~Line()
{
    finishLog();
}

void Line::finishLog()
{
    if (m_log)
        m_log->close();
    m_log.reset();
}

bool Line::open()
{
    const QString failure = openFailure();
    if (failure.isEmpty())
        return true;
    complain(failure);
    return false;
}

QString Line::openFailure()
{
    return m_line->open() ? QString() : problem();
}

void Line::openAsync(std::function<void(const QString& failure)> done)
{
    QObject::disconnect(m_opening);
    m_opening = QObject::connect(
        m_line.get(), &kv::Line::openFinished, m_line.get(),
        [this, done = std::move(done)](bool opened) { done(opened ? QString() : problem()); },
        Qt::SingleShotConnection);
    m_line->openAsync();
}

QString Line::problem() const
{
    return m_gateway ? gatewayProblemText(*m_gateway) : openProblemText(*m_serial, m_named);
}

void Line::close()
{
    QObject::disconnect(m_opening);
    m_line->close();
}

void Line::setConnectTimeout(std::chrono::milliseconds timeout)
{
    if (m_gateway)
        m_gateway->setConnectTimeout(timeout);
}

void Line::followRate(int baudRate)
{
    if (m_gateway)
        m_gateway->setBaudRate(baudRate);
    else
        m_serial->setSettings(settingsText(baudRate));
}

QString Line::lostText() const
{
    return m_gateway ? gatewayProblemText(*m_gateway) : QStringLiteral("%1 was lost").arg(m_named);
}

bool Line::gatewayGone(const Outcome& outcome) const
{
    if (!m_gateway || outcome.kind != OutcomeKind::PortLost)
        return false;
    complain(lostText());
    return true;
}

void Line::waitForQuiet() const
{
    const qint64 left = master.lineQuietAt() - monotonicNow();
    if (left > 0)
        QThread::usleep(static_cast<unsigned long>(left / 1000 + 1));
}

void complain(const QString& text)
{
    writeToStandardError(QStringLiteral("kv9240b: ") + text);
}

bool openSink(RecordSink& sink, const Options& options)
{
    // "-" names standard output, as everywhere on the command line.
    if (sink.open(options.output == QLatin1String("-") ? QString() : options.output))
        return true;
    complain(sink.error());
    return false;
}

bool writeRecord(RecordSink& sink, const QString& line, Ended& ended)
{
    switch (sink.writeLine(line)) {
    case RecordSink::Result::Written:
        return true;
    case RecordSink::Result::Closed:
        ended = Ended::ReaderGone;
        return false;
    case RecordSink::Result::Failed:
        complain(sink.error());
        ended = Ended::WriteFailed;
        return false;
    }
    return false;
}

} // namespace kv::cli

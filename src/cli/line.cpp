#include "cli/line.h"

#include "cli/port_problem.h"
#include "serial/line_settings.h"

#include <QThread>

namespace kv::cli {

Line::Line(const Options& options)
    : m_named(options.port)
{
    if (const std::optional<int> number = comPortNumber(options.port))
        port.setCommPort(*number);
    else
        port.setDevice(options.port);
    port.setSettings(settingsText(options.baudRate));
    master.setTimeout(options.timeout);
    if (options.verbose)
        m_log = std::make_unique<FrameLog>(port);
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
    if (port.setPortOpen(true))
        return true;
    complain(openProblemText(port, m_named));
    return false;
}

void Line::waitForQuiet() const
{
    const qint64 left = master.lineQuietAt() - CommPort::monotonicNow();
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

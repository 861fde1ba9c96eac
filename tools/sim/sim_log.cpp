#include "sim_log.h"

#include "frame.h"
#include "log_line.h"

#include <cstdio>

namespace kv::sim {

namespace {

void writeLine(const QString& line)
{
    const QByteArray text = line.toLocal8Bit() + '\n';
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fflush(stdout);
}

} // namespace

SimLog::SimLog(bool quiet)
    : m_quiet(quiet)
{
}

void SimLog::devicePath(const QString& path)
{
    writeLine(path);
}

void SimLog::received(TimePoint at, std::span<const std::uint8_t> frame) const
{
    if (!m_quiet)
        writeLine(logLine(at, u"RX", hexText(frame)));
}

void SimLog::sent(TimePoint at, std::span<const std::uint8_t> frame) const
{
    if (!m_quiet)
        writeLine(logLine(at, u"TX", hexText(frame)));
}

void SimLog::fault(TimePoint at, const QString& what) const
{
    writeLine(logLine(at, u"FAULT", what));
}

void SimLog::note(TimePoint at, const QString& what) const
{
    if (!m_quiet)
        writeLine(logLine(at, u"NOTE", what));
}

} // namespace kv::sim

#include "log_line.h"

namespace kv::sim {

QString logLine(std::chrono::steady_clock::time_point at, QStringView tag, QStringView text)
{
    const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    return QStringLiteral("%1.%2 %3 %4")
        .arg(micro / 1'000'000)
        .arg(micro % 1'000'000, 6, 10, QLatin1Char('0'))
        .arg(tag, text);
}

} // namespace kv::sim

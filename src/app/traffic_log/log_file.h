#pragma once

#include <QString>

#include <optional>

namespace kv {

class TrafficRecorder;
struct TrafficFrame;

enum class LogFileFormat { Csv, Text };

// The first line of a log saved as CSV, for the programs that read it on.
inline constexpr char CsvHeader[] = "time,delta_ms,direction,length,hex,verdict,meaning";

// One frame as a CSV record (RFC 4180 quoting) and as a line of text (the
// fields as the window shows them, tab-separated, so it pastes into a sheet).
QString csvRecord(const TrafficFrame& frame);
QString textLine(const TrafficFrame& frame);

// Writes every frame the recorder holds, UTF-8, one a line after a header.
// The file is replaced only once it is written whole: on failure the file
// is as it was and the reason is returned.
std::optional<QString> writeLogFile(const TrafficRecorder& recorder, const QString& path, LogFileFormat format);

} // namespace kv

#pragma once

#include "session/reading.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv {

// The ways a reading is written as a record, one line each: for people
// (text), for spreadsheets (csv), for programs (json, one object a line) and
// for collectors that read InfluxDB's line protocol (influx). The machine
// formats always use '.' and two decimals for the four quantities.
enum class RecordFormat { Text, Csv, Json, Influx };

// "text", "csv", "json", "influx"; empty when it is none of them.
std::optional<RecordFormat> recordFormatNamed(const QString& name);

// The first line of a file of this format, without line end; empty for
// formats without one (only csv has one).
QString recordHeader(RecordFormat format);

// What the first line of a file of this format begins with: the whole
// header for csv, the start every line has for the others.
QByteArray recordLineStart(RecordFormat format);

// The reading as one line, without line end. Empty for a failed reading in
// the influx format (collectors take only measurements; say failures elsewhere).
QString recordLine(RecordFormat format, const Reading& reading);

// The same as the bytes of a line of a file: UTF-8 with its '\n'; empty when
// the line is.
QByteArray recordHeaderBytes(RecordFormat format);
QByteArray recordLineBytes(RecordFormat format, const Reading& reading);

// ISO 8601 with milliseconds and the UTC offset: 2026-12-07T14:03:10.123+01:00.
QString isoTime(const QDateTime& time);

// How a failed reading is said to people: "no reply (timeout 129 ms)",
// "partial (7 of 15 bytes)", "bad CRC", "exception 02 (illegal data address)",
// "unexpected reply (another station)", "port lost".
QString failureText(const Reading& reading);

} // namespace kv

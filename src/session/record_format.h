#pragma once

#include "session/reading.h"

#include <QByteArray>
#include <QString>

namespace kv {

// How readings are written down, a line each: for the window's recording and
// the command line's output alike.
enum class RecordFormat {
    // time,station,temperature_c,humidity_rh,temperature_offset_c,humidity_offset_rh,baud,status
    // with '.' and two decimals; a quantity the reply did not cover is an empty field.
    Csv,
};

// The line a file of the format begins with, '\n' included; empty for a format that has none.
QByteArray recordHeader(RecordFormat format);

// One reading as a line of the format, '\n' included. A failed reading has
// only its time, station and status.
QByteArray recordLine(RecordFormat format, const Reading& reading);

// A reading's time as records write it: ISO 8601 with milliseconds and the
// UTC offset, "2026-12-07T14:03:05.120+08:00" ("+00:00" for UTC).
QString recordTime(const QDateTime& time);

} // namespace kv

#pragma once

#include "session/record_format.h"
#include "session/sensor_sweep.h"

#include <QString>

#include <cstdint>

namespace kv::cli {

// The records of find and address, in the formats of the readings (influx
// has none: these are no measurements over time).

// find: a sensor found. text: "/dev/ttyUSB0  9600 baud  station 1  25.00 °C  60.00 %RH";
// csv: port,baud,station,temperature_c,humidity_rh,status; json: an object with those keys.
QString foundHeader(RecordFormat format);
QString foundLine(RecordFormat format, const FoundSensor& sensor);

// address: the station the sensor answers with. text: "station 7"; csv: a
// column "station"; json: {"station":7}.
QString addressHeader(RecordFormat format);
QString addressLine(RecordFormat format, std::uint8_t station);

} // namespace kv::cli

#pragma once

#include "sensor_bus.h"

#include <QString>

#include <cstdint>
#include <span>

namespace kv::sim {

// "station 1", "stations 1, 2, 7".
QString stationsText(std::span<const std::uint8_t> stations);

// Why addressed sensors did not hear a request: "ignored: sent at 4800 baud;
// station 1 listens at 9600 baud", one part for each rate they listen at, and
// "not heard by all: ..." when others did hear it.
QString rateMismatch(const SensorBus& bus, const SensorBus::Audience& audience, int sentAtBaudRate);

} // namespace kv::sim

#pragma once

#include "session/outcome.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

namespace kv::cli {

class Line;
class StopSignals;

// An answer several sensors garbled by answering at once (or noise spoiled):
// bytes came, but not one intact frame that answers.
bool isGarbled(const Outcome& outcome);

// Asks station 250 for the station number before something is written
// through it. A garbled answer is asked again, up to twice: noise spoils an
// answer now and then, several sensors answering at once spoil it every time.
// A stop asked for meanwhile lets the exchange in flight end and asks no more.
Outcome askWhoAnswers(Line& line, StopSignals& stops);

// Why a write through station 250 must not go out after this answer, as the
// user is told (empty: one sensor answered, the one `meant` names if given);
// `timeout` is what the question waited.
QString whyNotWrite(const Outcome& answer, std::optional<std::uint8_t> meant, std::chrono::milliseconds timeout);

} // namespace kv::cli

#pragma once

#include "modbus/send_sequence.h"

#include <QString>

#include <optional>

namespace kv {

struct Form;

// The frame head a measurement query sends, built from the texts of the
// station, function, start and length boxes, or the message for the first box
// that is wrong: each must be a number, the length 1 to 8, and the station,
// function code and start register must each fit in a byte.
struct QueryBoxes {
    std::optional<FrameHead> head;
    QString problem;
};

QueryBoxes readQueryBoxes(const QString& stationText, const QString& functionText, const QString& startText,
                          const QString& lengthText);

enum class QueryOrigin { Button, PollTick };

// One measurement query from the four Modbus boxes: validates them (the first
// bad box is reported and nothing is sent; a polled query then also stops
// polling), counts the request and sends it.
void comDoOnce_Click(Form& form, QueryOrigin origin = QueryOrigin::Button);

} // namespace kv

#pragma once

namespace kv {

struct Form;

enum class QueryOrigin { Button, PollTick };

// One measurement query from the four Modbus boxes: validates them (the first
// bad box is reported and nothing is sent; a polled query then also stops
// polling), counts the request and sends it.
void comDoOnce_Click(Form& form, QueryOrigin origin = QueryOrigin::Button);

} // namespace kv

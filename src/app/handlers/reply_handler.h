#pragma once

namespace kv {

struct Form;

// The serial port object's communication event: counts it, and for a receive
// event shows the waiting bytes as hex, decodes them by the kind of the last
// request into the value or address boxes, and lights the lamp. A measurement
// reply that is short, corrupt or an exception changes no value and shows red.
void MSComm1_OnComm(Form& form);

} // namespace kv

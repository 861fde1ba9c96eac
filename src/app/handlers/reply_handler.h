#pragma once

namespace kv {

struct Form;

// The serial port object's communication event. For a receive event it shows
// the waiting bytes as hex and judges them against the last request: an
// accepted reply is counted, decoded into the value or address boxes (a box
// the technician is editing is left alone) and lights the lamp green; one
// that does not answer the request shows red and changes nothing. A lost port
// is reported; other events change nothing.
void MSComm1_OnComm(Form& form);

} // namespace kv

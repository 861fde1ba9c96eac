#pragma once

namespace kv {

struct Form;

// Start-up: defaults, the baud-rate list, the serial port object's settings,
// and the default port chosen (which opens it). Reports a port that did not open.
void Form_Load(Form& form);

} // namespace kv

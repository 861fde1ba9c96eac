#pragma once

class QWidget;

namespace kv {

class ControlSet;

// Creates every control of the control table on the window, with its name,
// geometry, text, colour, font and availability, and adds it to the set.
void buildControls(QWidget& window, ControlSet& controls);

} // namespace kv

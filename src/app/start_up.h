#pragma once

namespace kv {

// What the application sets before its first window: its style, fonts and names.
// Needs the application object.
void setUpApplication();

} // namespace kv

#pragma once

#include <QString>

namespace kv {

// What the About box says: the program, its version, its licence and the Qt
// it runs on.
QString aboutText();

// Through the message box seam, so tests can read it.
void showAboutBox();

} // namespace kv

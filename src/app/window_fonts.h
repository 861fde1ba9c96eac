#pragma once

#include <QFont>

namespace kv {

// `font` with, after its own families, those that together hold every
// character the window shows: its Latin text and signs ("℃", "°", "±") and
// its Chinese. A family picked for its looks, like Arial for the unit labels,
// lacks "℃"; WenQuanYi Micro Hei, the Chinese font the scripts install, maps
// "℃" to an empty glyph, so a desktop that falls back on it (a Chinese one
// does) showed the unit as a blank.
QFont withFallbacks(QFont font);

// The application's font, which the tool windows and dialogs use: the desktop's
// size, with the families above. The desktop's own family is left out: on a
// Chinese desktop it is the Chinese font, whose empty "℃" would come first.
// Needs the application object.
void useFontsWithFallbacks();

} // namespace kv

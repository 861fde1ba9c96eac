#include "app/start_up.h"

#include "app/compact_style.h"
#include "app/window_fonts.h"

#include <QApplication>

namespace kv {

void setUpApplication()
{
    useCompactStyle();
    useFontsWithFallbacks();
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    // Docks and task bars pair the running window with the menu entry through this name
    // (Wayland's app_id) and through the X11 class, which Qt takes from the application's
    // name; the entry's StartupWMClass names that class.
    QGuiApplication::setDesktopFileName(QStringLiteral(KV9240B_DESKTOP_ID));
}

} // namespace kv

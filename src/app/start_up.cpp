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
}

} // namespace kv

#include "app/window_fonts.h"

#include <QApplication>
#include <QStringList>

namespace kv {

namespace {

// Latin and signs first, from a font that draws them all; then the Chinese, from
// the font the scripts install or the one the package may bring instead.
QStringList fallbackFamilies()
{
    return {QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};
}

} // namespace

QFont withFallbacks(QFont font)
{
    QStringList families = font.families();
    if (families.isEmpty())
        families << font.family();
    for (const QString& family : fallbackFamilies()) {
        if (!families.contains(family))
            families << family;
    }
    font.setFamilies(families);
    // The window's texts are Chinese and Latin, which draw the same without
    // the shaper; frames, values and counters change at every poll, and
    // shaping each again was the most of a poll's cost.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void useFontsWithFallbacks()
{
    QFont font = QApplication::font();
    font.setFamilies(fallbackFamilies());
    QApplication::setFont(font);
}

} // namespace kv

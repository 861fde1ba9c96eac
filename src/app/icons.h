#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace kv {

// The 16 x 16 status dots: "green", "yellow", or "red" (with a black rim).
QPixmap lampDot(const QString& colour);

// The window's own 32 x 32 icon: a thermometer beside a drop of water.
QIcon windowIcon();

} // namespace kv

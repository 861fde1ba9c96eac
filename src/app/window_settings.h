#pragma once

#include <QSettings>

namespace kv {

// Where the window keeps what it remembers between runs (the last network
// connection, the overview's sensors): one place for every window.
inline QSettings windowSettings()
{
    return QSettings(QStringLiteral("Orvane"), QStringLiteral("kv9240b-tool"));
}

} // namespace kv

#include "line/serial_line.h"

namespace kv {

SerialLine::SerialLine(QObject* parent)
    : Line(parent)
{
}

SerialLine::~SerialLine() = default;

QString settingsText(int baudRate)
{
    return QString::number(baudRate) + QStringLiteral(",N,8,1");
}

} // namespace kv

#pragma once

#include "line/serial_line.h" // settingsText

#include <QSerialPort>
#include <QString>

#include <optional>

namespace kv {

// A line settings text such as "9600,N,8,1": baud rate, parity letter
// (N, E, O, M, S), data bits (5 to 8) and stop bits (1, 1.5 or 2).
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    static std::optional<LineSettings> parse(const QString& text);
};

} // namespace kv

#pragma once

#include <QString>
#include <QStringList>

class QObject;

namespace kv {

// Where port number n (1 = "COM1") leads on this machine.
//
// On Windows port n is "COMn". Elsewhere it is the device named by the
// environment variable KV9240B_COM<n> when that is set, otherwise the n-th
// serial device present: USB adapters (ttyUSB*, ttyACM*) first, then the
// others, each group in natural order, without the ttyS ports that have no
// UART behind them. So a technician's one USB adapter is COM1.
struct PortDevice {
    QString path;        // empty when no device stands behind the number
    QString description; // what the system says the device is
    QString usbId;       // "vvvv:pppp" for USB devices
    QString source;      // the environment variable that chose it, if any
};

PortDevice portDevice(int portNumber);

// Every device a sweep of "all ports" should try: the devices port numbers
// are wired to (in port-number order), then every serial device present that
// is not among them, in port-number order. Each path once.
QStringList everyPortDevice();

// Ports 1 to count, looking the devices up only once.
QList<PortDevice> portDevices(int count);

// One line for the port list's tooltip: the device a port number stands for.
QString portToolTip(int portNumber);
QString portToolTip(int portNumber, const PortDevice& device);
// The tooltips of ports 1 to count, looking the devices up only once.
QStringList portToolTips(int count);

// The ordering rule above, on bare system names such as "ttyUSB10".
QStringList orderPortNames(QStringList names);

// Natural order: "ttyUSB2" before "ttyUSB10".
bool naturalLess(const QString& a, const QString& b);

QString portEnvironmentVariable(int portNumber);

class SerialLine;
// A line on a serial port, closed, for a front end to choose a port for.
SerialLine* newSerialLine(QObject* parent = nullptr);

} // namespace kv

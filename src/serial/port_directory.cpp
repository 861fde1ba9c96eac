#include "serial/port_directory.h"

#include "serial/comm_port.h"

#include <QCoreApplication>
#include <QFile>
#include <QSerialPortInfo>

#include <algorithm>

namespace kv {

namespace {

bool isUsbAdapter(const QString& name)
{
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

// A ttyS port whose UART type reads 0 has no hardware behind it; the kernel
// lists such ports all the same.
bool isPhantom(const QString& name)
{
    if (!name.startsWith(QLatin1String("ttyS")))
        return false;
    QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(name));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    return type.readAll().trimmed() == "0";
}

QString usbIdOf(const QSerialPortInfo& info)
{
    if (!info.hasVendorIdentifier() || !info.hasProductIdentifier())
        return {};
    return QStringLiteral("%1:%2")
        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
        .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
}

} // namespace

QString portEnvironmentVariable(int portNumber)
{
    return QStringLiteral("KV9240B_COM%1").arg(portNumber);
}

bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            const qulonglong numberA = a.mid(i, endA - i).toULongLong();
            const qulonglong numberB = b.mid(j, endB - j).toULongLong();
            if (numberA != numberB)
                return numberA < numberB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return (a.size() - i) < (b.size() - j);
}

QStringList orderPortNames(QStringList names)
{
    names.erase(std::remove_if(names.begin(), names.end(), isPhantom), names.end());
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        if (isUsbAdapter(a) != isUsbAdapter(b))
            return isUsbAdapter(a);
        return naturalLess(a, b);
    });
    return names;
}

namespace {

// The devices present, in port-number order (the first is port 1).
QList<QSerialPortInfo> presentPorts()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    QList<QSerialPortInfo> ordered;
    for (const QString& name : orderPortNames(names))
        ordered << QSerialPortInfo(name);
    return ordered;
}

PortDevice lookUp(int portNumber, const QList<QSerialPortInfo>& present)
{
    if (portNumber < 1)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(present);
    const QString name = QStringLiteral("COM%1").arg(portNumber);
    const QSerialPortInfo info(name);
    return {name, info.description(), usbIdOf(info), {}};
#else
    const QString variable = portEnvironmentVariable(portNumber);
    const QString wired = qEnvironmentVariable(variable.toLatin1().constData());
    if (!wired.isEmpty())
        return {wired, {}, {}, variable};
    if (portNumber > present.size())
        return {};
    const QSerialPortInfo& info = present[portNumber - 1];
    return {info.systemLocation(), info.description(), usbIdOf(info), {}};
#endif
}

QString describe(int portNumber, const PortDevice& device)
{
    if (device.path.isEmpty())
        return QCoreApplication::translate("kv::PortDirectory", "COM%1：未检测到对应的串口设备").arg(portNumber);
    QStringList parts{device.path};
    if (!device.description.isEmpty())
        parts << device.description;
    if (!device.usbId.isEmpty())
        parts << QStringLiteral("USB %1").arg(device.usbId);
    if (!device.source.isEmpty())
        parts << QCoreApplication::translate("kv::PortDirectory", "由环境变量 %1 指定").arg(device.source);
    return QCoreApplication::translate("kv::PortDirectory", "COM%1：%2")
        .arg(portNumber)
        .arg(parts.join(
            QCoreApplication::translate("kv::PortDirectory", "，", "between the parts of a port's description")));
}

} // namespace

PortDevice portDevice(int portNumber)
{
#ifndef Q_OS_WIN
    // A wired port needs no look at the devices present, which is slow.
    if (!qEnvironmentVariableIsEmpty(portEnvironmentVariable(portNumber).toLatin1().constData()))
        return lookUp(portNumber, {});
#endif
    return lookUp(portNumber, presentPorts());
}

QStringList everyPortDevice()
{
    QStringList paths;
#ifndef Q_OS_WIN
    for (int portNumber = 1; portNumber <= 255; ++portNumber) {
        const QString wired = qEnvironmentVariable(portEnvironmentVariable(portNumber).toLatin1().constData());
        if (!wired.isEmpty() && !paths.contains(wired))
            paths << wired;
    }
#endif
    for (const QSerialPortInfo& info : presentPorts()) {
        if (!paths.contains(info.systemLocation()))
            paths << info.systemLocation();
    }
    return paths;
}

QList<PortDevice> portDevices(int count)
{
    const QList<QSerialPortInfo> present = presentPorts();
    QList<PortDevice> devices;
    for (int portNumber = 1; portNumber <= count; ++portNumber)
        devices << lookUp(portNumber, present);
    return devices;
}

QString portToolTip(int portNumber)
{
    return describe(portNumber, portDevice(portNumber));
}

QString portToolTip(int portNumber, const PortDevice& device)
{
    return describe(portNumber, device);
}

QStringList portToolTips(int count)
{
    const QList<PortDevice> devices = portDevices(count);
    QStringList tips;
    for (int portNumber = 1; portNumber <= count; ++portNumber)
        tips << describe(portNumber, devices[portNumber - 1]);
    return tips;
}

SerialLine* newSerialLine(QObject* parent)
{
    return new CommPort(parent);
}

} // namespace kv

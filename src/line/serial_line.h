#pragma once

#include "line/line.h"

#include <QString>

namespace kv {

// A line on a serial port as the front ends choose and show it: a port
// number (1 = "COM1") or a device path, a line settings text such as
// "9600,N,8,1", opening and closing with the reason an open failed. The
// serial layer implements it; a front end makes one through the port list
// (serial/port_directory.h) and needs nothing else of that layer.
class SerialLine : public Line {
    Q_OBJECT

public:
    // Why the last open failed, as a kind a caller can word in its own language.
    enum class OpenFailure {
        None,
        AlreadyOpen, // the port is open already
        NoDevice,    // the port number stands for no device present
        Missing,     // the device does not exist
        Permission,  // the user may not read and write the device (the dialout group)
        Busy,        // another program holds the device
        Settings,    // the device refuses the line settings
        Other,       // see openFailureDetail()
    };

    static constexpr int MinPortNumber = 1;
    static constexpr int MaxPortNumber = 255;

    explicit SerialLine(QObject* parent = nullptr);
    ~SerialLine() override;

    virtual int commPort() const = 0;
    // Refused (false, nothing changed) outside 1..255 or while the port is open.
    virtual bool setCommPort(int portNumber) = 0;
    // A device to open instead of the one the port number stands for (empty:
    // the port number decides). Refused while the port is open.
    virtual bool setDevice(const QString& path) = 0;

    virtual QString settings() const = 0;
    // Refused (false, nothing changed) for a text that is not a line format;
    // applied at once when the port is open.
    virtual bool setSettings(const QString& text) = 0;

    virtual bool portOpen() const = 0;
    // Opens or closes the port; false when that failed (see openFailure()).
    virtual bool setPortOpen(bool open) = 0;

    // The device the last open concerned, why that open failed, and the
    // system's own words for it.
    virtual QString devicePath() const = 0;
    virtual OpenFailure openFailure() const = 0;
    virtual QString openFailureDetail() const = 0;
};

// "9600,N,8,1" for a baud rate of 9600: the only line format the tool uses.
QString settingsText(int baudRate);

} // namespace kv

#pragma once

#include <QString>

namespace kv {

// What freeing the window's line for a search did, for the user to be told.
struct ReleasedLine {
    bool pollingStopped = false;
    bool portClosed = false;
};

// What the find dialog needs of the window it works for: the ports to offer,
// the window's line to borrow while it searches, and a sensor found to take
// over. The main window implements it, so the dialog knows none of the
// window's controls.
class WindowLine {
public:
    // How many port numbers the window's port list offers, COM1 upwards.
    virtual int portCount() const = 0;
    // The port number the window's line is set to.
    virtual int portNumber() const = 0;

    // Stops polling (it stays stopped) and closes an open port, so a search
    // can use the device.
    virtual ReleasedLine releaseLine() = 0;
    // The port is closed by releaseLine() and not reopened yet.
    virtual bool lineHeld() const = 0;
    // Reopens a port releaseLine() closed, with its number and line settings;
    // empty when that worked (or nothing was closed), otherwise why it did not.
    virtual QString restoreLine() = 0;

    // As the user would by hand: each choice runs the handler of its list,
    // so choosing the port and then the rate opens the port at that rate.
    virtual void choosePort(int number) = 0;
    virtual void chooseRate(int baudRate) = 0;
    virtual void chooseStation(int station) = 0;

protected:
    ~WindowLine() = default; // not deleted through this interface
};

} // namespace kv

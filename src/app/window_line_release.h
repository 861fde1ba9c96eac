#pragma once

#include "app/find_sensor/window_line.h"
#include "app/status_lamp.h"

#include <QString>

namespace kv {

struct Form;

// The window's side of lending its line to a search: frees it and gives it
// back afterwards. Polling is stopped (its next tick would find the port gone)
// and stays stopped; an open port is closed, its lamp red while it is, and
// reopened afterwards with the same port number and line settings, the lamp
// as it was.
class WindowLineRelease {
public:
    explicit WindowLineRelease(Form& form)
        : m_form(form)
    {
    }

    ReleasedLine release();
    // Reopens a port release() closed; empty when that worked (or nothing was
    // closed), otherwise why it did not.
    QString restore();
    bool holding() const { return m_holding; }

private:
    Form& m_form;
    Lamp m_lamp = Lamp::NotConnected;
    bool m_holding = false; // the port is closed by release() and not given back yet
};

} // namespace kv

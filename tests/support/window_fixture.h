#pragma once

#include "app/main_window.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "serial/comm_port.h"

#include <memory>

namespace kv::test {

// A started window whose COM1 is a pseudo-terminal the test holds, with every
// message box recorded instead of shown.
struct StartedWindow {
    MessageRecorder messages;
    PtyPair line;
    PortWiring com1{1, line.slavePath()};
    std::unique_ptr<frmMain> window = std::make_unique<frmMain>();

    StartedWindow() { window->load(); }
    Form& form() { return window->form(); }
};

// The window's line is the serial port object; tests look into its buffers.
inline CommPort& commPort(frmMain& window)
{
    return static_cast<CommPort&>(window.serialPort());
}

} // namespace kv::test

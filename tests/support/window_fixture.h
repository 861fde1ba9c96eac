#pragma once

#include "app/main_window.h"
#include "message_recorder.h"
#include "pty_pair.h"

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

} // namespace kv::test

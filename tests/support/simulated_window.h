#pragma once

#include "app/main_window.h"
#include "app/message_box.h"
#include "pty_pair.h"
#include "sim_process.h"

namespace kv::test {

// The real window, started, with COM1 on the simulated sensor and message
// boxes counted instead of shown: the set-up of the long runs and benchmarks.
struct SimulatedWindow {
    explicit SimulatedWindow(const QStringList& simArguments)
        : sim(simArguments)
        , com1(1, sim.devicePath())
    {
        MessageBox::setPresenter([this](const MessageBox::Message&) { ++messages; });
        if (sim.isRunning())
            window.load();
    }
    ~SimulatedWindow() { MessageBox::setPresenter({}); }
    SimulatedWindow(const SimulatedWindow&) = delete;
    SimulatedWindow& operator=(const SimulatedWindow&) = delete;

    SimProcess sim;
    PortWiring com1;
    int messages = 0;
    frmMain window;
};

} // namespace kv::test

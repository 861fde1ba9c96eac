#pragma once

class QTimer;

namespace kv {

class CommPort;
class ControlSet;
class StatusLamp;
struct ExchangeState;

// What every handler works on: the window's controls, its status lamp, its
// serial port object, its polling timer and its window-level variables.
struct Form {
    ControlSet& controls;
    StatusLamp& lamp;
    CommPort& MSComm1;
    QTimer& Timer2;
    ExchangeState& vars;
};

} // namespace kv

#pragma once

class QTimer;

namespace kv {

class SerialLine;
class ControlSet;
class ExchangeQueue;
class LineInUse;
class DecodedReadings;
class EditedValues;
class StatusLamp;
struct ExchangeState;

// What every handler works on: the window's controls, its status lamp, its
// serial port object (for the port's choice and settings), the line in use
// and its exchange queue (for every exchange), its polling
// timer, its window-level variables and the setting boxes the technician is
// editing, and where decoded readings go.
struct Form {
    ControlSet& controls;
    StatusLamp& lamp;
    SerialLine& MSComm1;
    LineInUse& line; // the serial port or the connection to a gateway in its place
    ExchangeQueue& exchange;
    QTimer& Timer2;
    ExchangeState& vars;
    EditedValues& edits;
    DecodedReadings& readings; // the measurements decoded, for whoever shows or records them
};

} // namespace kv

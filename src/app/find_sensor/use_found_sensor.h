#pragma once

namespace kv {

class WindowLine;
struct FoundRow;

// Sets the window up to talk to a sensor the search found, as the user would
// by hand: the port chosen in the port list and the rate in the rate list
// (each list's handler runs, opening the port at that rate), then the station
// written into the station box. A single shot then reads that sensor.
void useFoundSensor(WindowLine& window, const FoundRow& found);

} // namespace kv

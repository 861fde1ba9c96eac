#pragma once

namespace kv::bench {

// The overview polling `sensors` simulated sensors on one line at `baud`, at
// the shortest period the wire allows, for `rounds` rounds: CPU per exchange,
// every reply decoded, and how long a click waits for the event loop.
int overviewPolling(int sensors, int baud, int rounds);

} // namespace kv::bench

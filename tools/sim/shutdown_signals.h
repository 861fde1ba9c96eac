#pragma once

#include <signal.h>

namespace kv::sim {

// SIGINT and SIGTERM only set a flag. They are held back except while the
// simulator waits (ppoll with the returned mask), so a wait can never sleep
// through one. The parent's death sends SIGTERM too, so a simulator started
// by a test or a script never outlives it.
sigset_t takeOverShutdownSignals();

bool shutdownRequested();

} // namespace kv::sim

#pragma once

namespace kv {

struct Form;

// The Cycle button: resets both counters, validates the period (50 to 60000
// ms) and starts the poll timer with it.
void cmdOneM_Click(Form& form);

// The Stop button: stops the poll timer, nothing else.
void cmdStopOnce_Click(Form& form);

// One poll tick: mends a data length that is not a number, wraps the
// counters above 65535, and runs a measurement query while polling may send
// and no write or address request awaits its reply.
void Timer2_Timer(Form& form);

} // namespace kv

#pragma once

namespace kv {

struct Form;

// Read address: asks station 250 for register 0; the station of an accepted
// reply is the sensor's address.
void cmdReadAdd_Click(Form& form);

// Change address: writes the target address in txtSetID(1) into register
// 0x0B00 of the station in txtSetID(0), after checking both fit (current 1 to
// 255, target 1 to 250).
void cmdChangeID_Click(Form& form);

} // namespace kv

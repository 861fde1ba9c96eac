#pragma once

namespace kv {

struct Form;

// A Set button: writes the number in txtValue(index + 2) into holding
// register 0x0A00 + 2 x index of station 250 (function 6), or reports why the
// number cannot be written. A box written is no longer the technician's:
// replies fill it again.
void cmdSet_Click(Form& form, int index);

} // namespace kv

#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kv {

struct Form;

// The station and new address of an address change, read from the current
// and target address texts, or the message refusing them.
struct AddressChange {
    std::uint8_t station = 0;
    std::uint8_t newAddress = 0;
    QString problem; // empty when the change can be sent
};

AddressChange readAddressChange(const QString& currentText, const QString& targetText);

// Read address: asks station 250 for register 0; the reply's first byte is
// the sensor's address.
void cmdReadAdd_Click(Form& form);

// Change address: writes the target address in txtSetID(1) into register
// 0x0B00 of the station in txtSetID(0), after checking both fit (current 1 to
// 255, target 1 to 250).
void cmdChangeID_Click(Form& form);

} // namespace kv

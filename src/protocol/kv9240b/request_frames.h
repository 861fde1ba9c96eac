#pragma once

#include "protocol/modbus/frame.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace kv {

// The station every KV9240B answers besides its own.
inline constexpr std::uint8_t AnyStation = 250;

// The sensor's station number: register 0 read through station 250.
FrameHead addressReadHead();

// Setting `index` (0 temperature offset, 1 humidity offset, 2 baud rate, 3 to 5
// the further registers) written through station 250 into register 0x0A00 + 2 x index.
FrameHead parameterWriteHead(int index, std::uint16_t registerValue);

// The frame head a measurement query sends, built from the texts of the
// station, function, start and length boxes, or the message for the first box
// that is wrong: each must be a number, the length 1 to 8, and the station,
// function code and start register must each fit in a byte.
struct QueryBoxes {
    std::optional<FrameHead> head;
    QString problem;
};

QueryBoxes readQueryBoxes(
    const QString& stationText, const QString& functionText, const QString& startText, const QString& lengthText);

// The station and new address of an address change, read from the current
// and target address texts, or the message refusing them.
struct AddressChange {
    std::uint8_t station = 0;
    std::uint8_t newAddress = 0;
    QString problem; // empty when the change can be sent
};

AddressChange readAddressChange(const QString& currentText, const QString& targetText);

// Register 0x0B00 of `station` set to `newAddress`.
FrameHead addressChangeHead(const AddressChange& change);

} // namespace kv

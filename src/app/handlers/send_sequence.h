#pragma once

#include "protocol/request_frames.h"

#include <cstdint>

namespace kv {

struct Form;

// A write or address request: its kind, frame head, expected reply length and
// the number of buffered bytes that raises the receive event.
struct WriteRequest {
    std::int16_t cmdType;
    FrameHead head;
    std::int16_t recLen;
    int threshold;
};

// Appends the CRC of the head (via Crc16, so HiByte and LoByte hold it after).
Frame completeFrame(const FrameHead& head, Form& form);

// Sends a measurement query: with the port closed it reports the port, shows
// red and stops polling; otherwise yellow lamp, receive side armed for
// 2 x count + 5 bytes, frame written and shown. Failing port steps are skipped.
void sendMeasurementQuery(Form& form, const FrameHead& head);

// Sends an address or parameter request: the exchange is armed and the frame
// shown whether or not the port is open; it is written (green lamp) only when
// the port is open, otherwise the lamp shows red and nothing is said.
void sendWriteRequest(Form& form, const WriteRequest& request);

} // namespace kv

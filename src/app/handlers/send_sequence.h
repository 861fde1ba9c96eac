#pragma once

#include "app/exchange_state.h"
#include "protocol/modbus/frame.h"

namespace kv {

struct Form;

// Appends the CRC of the head (via Crc16, so HiByte and LoByte hold it after).
Frame completeFrame(const FrameHead& head, Form& form);

// Sends a measurement query: with the port closed it reports the port, shows
// red and stops polling; otherwise yellow lamp, receive side armed for
// 2 x count + 5 bytes, frame written and shown. Failing port steps are
// skipped; a frame the transmit queue cannot take turns the lamp red.
void sendMeasurementQuery(Form& form, const FrameHead& head);

// Sends an address or parameter request: the exchange is armed and the frame
// shown whether or not the port is open; it is written (green lamp) only when
// the port is open, otherwise the lamp shows red and nothing is said. Once
// written, polling holds back until its whole reply is in (at most 500 ms).
// While the reply to a measurement query may still be on the line the whole
// sequence waits for it (sendDeferredWrite), and polling with it.
void sendWriteRequest(Form& form, const WriteRequest& request);

// Sends the write or address request that waits for a measurement reply,
// once that reply is in or can no longer come.
void sendDeferredWrite(Form& form);

} // namespace kv

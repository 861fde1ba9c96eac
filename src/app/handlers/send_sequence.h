#pragma once

#include "app/exchange_state.h"
#include "protocol/modbus/frame.h"

#include <QtGlobal>

namespace kv {

struct Form;

// Appends the CRC of the head (via Crc16, so HiByte and LoByte hold it after).
Frame completeFrame(const FrameHead& head, Form& form);

// Sends a measurement query: with the line closed it reports the port, shows
// red and stops polling; otherwise yellow lamp, and the frame handed to the
// line's exchange queue, taking the exchange over, and shown; a frame the
// line cannot take turns the lamp red.
void sendMeasurementQuery(Form& form, const FrameHead& head);

// Sends an address or parameter request: the frame is shown whether or not
// the line is open; it is written (green lamp) only when the line is open,
// otherwise the lamp shows red and nothing is said. While the reply to a
// query may still come, the request waits in the line's queue and is shown
// when it goes out (writeRequestSent); polling holds back until its reply is
// in or its time is up.
void sendWriteRequest(Form& form, const WriteRequest& request);

// The write or address request waiting in the queue went out, or its turn
// came with the line unable to take it (`sent` false: red lamp).
void writeRequestSent(Form& form, quint64 id, bool sent);

// A request of the window's on the line was given up for another that took
// the exchange over: a write given up no longer holds polling back.
void requestGivenUp(Form& form, quint64 id);

} // namespace kv

#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace kv::line_driver {

// What the serial driver can do for the serial port object beyond what
// QSerialPort offers, on the handle of an open port. Where the platform has
// no such facility they do nothing.

// True when the device behind the handle is gone (hung up or in error), as
// opposed to a read that merely found nothing waiting.
bool hasFailed(qintptr handle);

// Bytes the driver holds that have not been read yet.
int pending(qintptr handle);

// Reads up to maxBytes of what the driver holds, without waiting.
QByteArray readPending(qintptr handle, int maxBytes);

} // namespace kv::line_driver

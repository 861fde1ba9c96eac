#pragma once

#include "session/reading.h"

#include <QObject>

namespace kv {

// The readings the window decodes soundly from measurement replies, for the
// windows that show or record them. Only quantities by what they are: rows 0
// and 1 of a reply that starts at register 0 or 1, as the window shows them,
// with the offsets and the baud rate when the reply covered them.
class DecodedReadings : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    void publish(const Reading& reading) { emit decoded(reading); }

signals:
    void decoded(const kv::Reading& reading);
};

} // namespace kv

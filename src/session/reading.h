#pragma once

#include "protocol/measurement.h"
#include "session/outcome.h"

#include <QDateTime>

namespace kv {

// One reading of one station: when it was taken, how the exchange ended and,
// when it succeeded, the values it carried (quantities the reply did not cover
// stay empty). The command line's records and the window's recording are rows
// of these.
struct Reading {
    QDateTime time; // local time with its UTC offset
    std::uint8_t station = 0;
    OutcomeKind status = OutcomeKind::NoReply;
    std::uint8_t exceptionCode = 0;
    Measurement values;
    std::chrono::nanoseconds responseTime{};

    bool ok() const { return status == OutcomeKind::Ok; }
};

} // namespace kv

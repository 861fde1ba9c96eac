#pragma once

#include "line/line.h"

#include <QByteArray>

namespace kv {

// Through a gateway the answer to a request given up (timed out or taken
// over) can still come while the next one is open, alone or in one burst
// with that one's answer. Returns the length of the whole frame `reply`
// begins with when it is that late answer to `lateRequest` rather than an
// answer to `openRequest` (both as written on the line); 0 when it is not,
// or not whole yet. Through Modbus TCP the transaction id names the request
// a frame answers. RTU frames carry no such id: only an intact answer to the
// request before that cannot answer the open one is told apart, so the late
// answer to the same request reads as the open one's.
int lateAnswerLength(
    Framing framing, const QByteArray& lateRequest, const QByteArray& openRequest, const QByteArray& reply);

} // namespace kv

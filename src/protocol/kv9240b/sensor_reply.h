#pragma once

#include "protocol/kv9240b/request_frames.h"
#include "protocol/modbus/mbap.h"
#include "protocol/modbus/reply_check.h"

namespace kv {

// Judges a reply from a KV9240B: a request to station 250 is answered by any
// sensor with its own station (1 to 250).
inline ReplyCheck checkReply(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply)
{
    return checkReply(request, reply, AnyStation);
}

// The same through a Modbus TCP gateway: the request and the reply in MBAP form.
inline ReplyCheck checkMbapReply(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply)
{
    return checkMbapReply(request, reply, AnyStation);
}

} // namespace kv

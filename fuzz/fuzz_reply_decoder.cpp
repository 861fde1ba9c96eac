// Any bytes from the line, for any request kind, request frame and
// start-address text: the decoder must never read past them, and a reply it
// accepts must be the whole, intact answer to the request.
#include "app/handlers/reply_decoder.h"
#include "fuzz_check.h"
#include "protocol/kv9240b/sensor_reply.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t RequestBytes = 8;
    if (size < 2 + RequestBytes)
        return 0;
    const int kind = data[0] % 8;
    const std::size_t textLength = data[1] % 16;
    const std::span<const std::uint8_t> request(data + 2, RequestBytes);
    if (size < 2 + RequestBytes + textLength)
        return 0;
    const QString start = QString::fromLatin1(
        reinterpret_cast<const char*>(data + 2 + RequestBytes), static_cast<qsizetype>(textLength));
    const std::span<const std::uint8_t> reply(
        data + 2 + RequestBytes + textLength, size - 2 - RequestBytes - textLength);

    // Judged as the engine judges what it hands the window.
    const kv::ReplyCheck check = kv::checkReply(request, reply);
    const kv::DecodedReply decoded = kv::decodeReply(reply, check, kind, request, start);
    if (decoded.accepted())
        require(check.ok());
    if (kind == 1 && decoded.accepted())
        require(reply[2] == 2 * (request[4] << 8 | request[5]));
    if (decoded.address)
        require(decoded.accepted() && *decoded.address >= 1 && *decoded.address <= 250);
    for (const kv::DecodedReply::Value& value : decoded.values)
        require(value.row >= 0 && value.row <= 4 && !value.text.isEmpty());
    return 0;
}

// Any bytes from the line, for any request kind and start-address text: the
// decoder must never read past them, and a measurement reply it accepts must
// be whole and carry a matching CRC.
#include "fuzz_check.h"
#include "protocol/crc16.h"
#include "app/handlers/reply_decoder.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int kind = data[0] % 8;
    const std::size_t textLength = data[1] % 16;
    if (size < 2 + textLength)
        return 0;
    const QString start = QString::fromLatin1(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(textLength));
    const std::span<const std::uint8_t> reply(data + 2 + textLength, size - 2 - textLength);

    const kv::DecodedReply decoded = kv::decodeReply(reply, kind, start);
    if (kind == 1 && decoded.sound) {
        const std::size_t covered = 3 + reply[2];
        require(reply.size() >= covered + 2);
        require(kv::crc16Modbus(reply.first(covered)) == (reply[covered] | reply[covered + 1] << 8));
    }
    for (const kv::DecodedReply::Value& value : decoded.values)
        require(value.row >= 0 && value.row <= 4 && !value.text.isEmpty());
    return 0;
}

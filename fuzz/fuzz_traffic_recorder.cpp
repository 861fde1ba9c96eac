// Any traffic on a line, as chunks written and arriving at any times and
// rates, with pauses between: the recorder must never read past the bytes,
// keep every frame within a Modbus frame's length, give every answer exactly
// one request, and word every row without failing.
#include "fuzz_check.h"
#include "protocol/modbus/reply_check.h"
#include "session/frame_wording.h"
#include "session/traffic_recorder.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr int Rates[] = {2400, 4800, 9600, 19200};
    kv::TrafficRecorder recorder;
    recorder.setCapacity(64);
    qint64 now = 1'000'000'000;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const std::uint8_t command = data[at];
        const std::size_t length = data[at + 1] % 64;
        now += static_cast<qint64>(data[at + 2]) * 100'000; // up to 25 ms later
        at += 3;
        const std::size_t taken = std::min(length, size - at);
        const QByteArray chunk(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(taken));
        at += taken;
        const int rate = Rates[command % 4];
        switch ((command / 4) % 4) {
        case 0:
            recorder.written(chunk, now, rate);
            break;
        case 1:
        case 2:
            recorder.arrived(chunk, now, rate);
            break;
        default:
            recorder.settle(now);
            break;
        }
    }
    recorder.settle(now + 5'000'000'000);

    std::uint64_t answers = 0;
    for (qsizetype row = 0; row < recorder.size(); ++row) {
        const kv::TrafficFrame& frame = recorder.at(row);
        require(frame.bytes.size() <= kv::TrafficRecorder::LongestFrame || frame.direction == kv::Direction::Sent);
        require(!kv::meaningText(frame).isNull() || frame.verdict == kv::FrameVerdict::Request);
        kv::verdictText(frame);
        if (frame.requestNumber != 0) {
            require(frame.requestNumber < frame.number);
            ++answers;
        }
    }
    const kv::TrafficStatistics& figures = recorder.statistics();
    require(figures.judged() <= figures.requests + figures.portLost);
    return 0;
}

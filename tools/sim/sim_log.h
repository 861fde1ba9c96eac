#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <span>

namespace kv::sim {

// The simulator's stdout. The first line is the device path alone; then one
// line per frame ("RX"/"TX"), per injected fault ("FAULT") and per event
// worth knowing ("NOTE"). Every line is flushed at once, for whoever reads
// the output through a pipe.
class SimLog {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // quiet leaves out frames and notes; faults are still shown.
    explicit SimLog(bool quiet);

    static void devicePath(const QString& path);

    void received(TimePoint at, std::span<const std::uint8_t> frame) const;
    void sent(TimePoint at, std::span<const std::uint8_t> frame) const;
    void fault(TimePoint at, const QString& what) const;
    void note(TimePoint at, const QString& what) const;

private:
    bool m_quiet;
};

} // namespace kv::sim

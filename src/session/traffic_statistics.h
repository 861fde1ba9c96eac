#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

// Running figures of the traffic on a line since the last reset: requests,
// how they were answered, and the response times of the good answers.
class TrafficStatistics {
public:
    std::uint64_t requests = 0;
    std::uint64_t ok = 0;
    std::uint64_t noReply = 0;
    std::uint64_t partial = 0;
    std::uint64_t badCrc = 0;
    std::uint64_t exceptions = 0;
    std::uint64_t unexpected = 0;
    std::uint64_t late = 0; // answered after the next request went out
    std::uint64_t unsolicited = 0;
    std::uint64_t portLost = 0;

    // Requests answered one way or another (an open request is not counted).
    std::uint64_t judged() const { return ok + noReply + partial + badCrc + exceptions + unexpected + late + portLost; }
    // Percent of judged requests without a good answer.
    double lossPercent() const;

    void addResponseTime(std::chrono::nanoseconds time);
    std::uint64_t responses() const { return m_responses; }
    // Response times of the good answers; empty before the first.
    std::optional<std::chrono::nanoseconds> minimum() const;
    std::optional<std::chrono::nanoseconds> maximum() const;
    // The q-th quantile (0.5 the median, 0.95 the 95th percentile), to a tenth of a millisecond.
    std::optional<std::chrono::nanoseconds> quantile(double q) const;

private:
    // Tenths of a millisecond up to ten seconds; longer times go to the last bin.
    static constexpr std::size_t Bins = 100'000;
    static constexpr std::int64_t BinNs = 100'000;

    // Allocated with the first response: a line nobody polls costs nothing.
    std::vector<std::uint32_t> m_bins;
    std::uint64_t m_responses = 0;
    std::chrono::nanoseconds m_minimum{};
    std::chrono::nanoseconds m_maximum{};
};

} // namespace kv

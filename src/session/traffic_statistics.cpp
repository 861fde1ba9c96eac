#include "session/traffic_statistics.h"

#include <algorithm>
#include <cmath>

namespace kv {

double TrafficStatistics::lossPercent() const
{
    const std::uint64_t all = judged();
    return all == 0 ? 0.0 : 100.0 * static_cast<double>(all - ok) / static_cast<double>(all);
}

void TrafficStatistics::addResponseTime(std::chrono::nanoseconds time)
{
    if (m_bins.empty())
        m_bins.assign(Bins, 0);
    const auto bin = static_cast<std::size_t>(std::clamp<std::int64_t>(time.count() / BinNs, 0, Bins - 1));
    ++m_bins[bin];
    m_minimum = m_responses == 0 ? time : std::min(m_minimum, time);
    m_maximum = m_responses == 0 ? time : std::max(m_maximum, time);
    ++m_responses;
}

std::optional<std::chrono::nanoseconds> TrafficStatistics::minimum() const
{
    return m_responses == 0 ? std::nullopt : std::optional(m_minimum);
}

std::optional<std::chrono::nanoseconds> TrafficStatistics::maximum() const
{
    return m_responses == 0 ? std::nullopt : std::optional(m_maximum);
}

std::optional<std::chrono::nanoseconds> TrafficStatistics::quantile(double q) const
{
    if (m_responses == 0)
        return std::nullopt;
    // The smallest time with at least q of all responses at or below it.
    const auto rank
        = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::ceil(q * static_cast<double>(m_responses))));
    std::uint64_t seen = 0;
    for (std::size_t bin = 0; bin < m_bins.size(); ++bin) {
        seen += m_bins[bin];
        if (seen >= rank) {
            // The middle of the bin, but never outside what was measured.
            const std::chrono::nanoseconds middle(static_cast<std::int64_t>(bin) * BinNs + BinNs / 2);
            return std::clamp(middle, m_minimum, m_maximum);
        }
    }
    return m_maximum;
}

} // namespace kv

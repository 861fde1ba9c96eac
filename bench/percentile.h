#pragma once

#include <algorithm>
#include <vector>

namespace kv::bench {

// The value below which `share` of the values lie (0.5 the median, 1 the worst).
inline double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

} // namespace kv::bench

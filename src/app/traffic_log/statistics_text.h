#pragma once

#include <QString>

namespace kv {

class TrafficStatistics;

// The statistics above the traffic log, two lines: requests, good replies
// and each kind of failure; then the loss and the response times (minimum /
// median / 95th percentile / maximum) of the good replies.
QString statisticsText(const TrafficStatistics& statistics);

} // namespace kv

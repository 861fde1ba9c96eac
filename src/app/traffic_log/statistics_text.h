#pragma once

#include <QString>

namespace kv {

class TrafficStatistics;

// The statistics line above the traffic log: requests, good replies, each
// kind of failure, the loss, and the response times (minimum / median /
// 95th percentile / maximum) of the good replies.
QString statisticsText(const TrafficStatistics& statistics);

} // namespace kv

#include "session/value_track.h"

#include <algorithm>

namespace kv {

namespace {

constexpr qsizetype BlockSize = 64;

} // namespace

void ValueSummary::add(int value)
{
    minimum = count == 0 ? value : std::min(minimum, value);
    maximum = count == 0 ? value : std::max(maximum, value);
    sum += value;
    ++count;
}

void ValueSummary::add(const ValueSummary& other)
{
    if (other.count == 0)
        return;
    minimum = count == 0 ? other.minimum : std::min(minimum, other.minimum);
    maximum = count == 0 ? other.maximum : std::max(maximum, other.maximum);
    sum += other.sum;
    count += other.count;
}

void ValueTrack::append(qint64 timeMs, int value, bool startsRun)
{
    if (startsRun || isEmpty())
        m_runStarts.push_back(size());
    m_times.push_back(timeMs);
    m_values.push_back(value);
    summarizeCompletedBlocks();
}

void ValueTrack::summarizeCompletedBlocks()
{
    if (size() % BlockSize != 0)
        return;
    ValueSummary block;
    for (qsizetype index = size() - BlockSize; index < size(); ++index)
        block.add(valueAt(index));
    for (std::size_t level = 0;; ++level) {
        if (m_blocks.size() == level)
            m_blocks.emplace_back();
        std::vector<ValueSummary>& blocks = m_blocks[level];
        blocks.push_back(block);
        if (static_cast<qsizetype>(blocks.size()) % BlockSize != 0)
            return;
        // This block completes one of the level above.
        block = {};
        for (auto it = blocks.end() - BlockSize; it != blocks.end(); ++it)
            block.add(*it);
    }
}

std::pair<qsizetype, qsizetype> ValueTrack::indicesBetween(qint64 fromMs, qint64 toMs) const
{
    if (toMs < fromMs)
        return {0, 0};
    const auto first = std::lower_bound(m_times.begin(), m_times.end(), fromMs);
    const auto end = std::upper_bound(first, m_times.end(), toMs);
    return {first - m_times.begin(), end - m_times.begin()};
}

ValueSummary ValueTrack::summary(qsizetype first, qsizetype end) const
{
    ValueSummary total;
    qsizetype low = std::max<qsizetype>(first, 0);
    qsizetype high = std::min(end, size());
    // Climb the levels: at each, take single entries from both ends until the
    // rest lines up with the blocks of the level above, then go up. Only whole
    // blocks are ever needed, and every whole block has its summary.
    qsizetype width = 1; // values per entry on this level
    int level = -1;      // -1: the values themselves
    auto entry = [&](qsizetype start) {
        if (level < 0) {
            ValueSummary single;
            single.add(valueAt(start));
            return single;
        }
        return m_blocks[static_cast<std::size_t>(level)][static_cast<std::size_t>(start / width)];
    };
    while (low < high) {
        const qsizetype next = width * BlockSize;
        while (low < high && low % next != 0) {
            total.add(entry(low));
            low += width;
        }
        while (low < high && high % next != 0) {
            high -= width;
            total.add(entry(high));
        }
        width = next;
        ++level;
    }
    return total;
}

bool ValueTrack::runStartsIn(qsizetype after, qsizetype upTo) const
{
    const auto next = std::upper_bound(m_runStarts.begin(), m_runStarts.end(), after);
    return next != m_runStarts.end() && *next <= upTo;
}

} // namespace kv

#pragma once

#include <QtGlobal>

#include <deque>
#include <utility>
#include <vector>

namespace kv {

// Minimum, maximum and sum of a run of values, and how many there were.
struct ValueSummary {
    qsizetype count = 0;
    int minimum = 0;
    int maximum = 0;
    qint64 sum = 0;

    void add(int value);
    void add(const ValueSummary& other);
};

// The values of one quantity in the order they came, each with its time in
// milliseconds since the epoch (never earlier than the one before). A day of
// 50 ms polling is 1.7 million values, so they are kept as plain numbers in
// chunks that never move, and summaries of blocks of 64, 64², 64³... values
// answer "minimum, maximum and sum of these" with a few hundred additions at
// most, however long the run.
//
// The values fall into runs: a run is drawn as one line, and a value that
// starts a run is not joined to the one before it (readings were missed
// between them).
class ValueTrack {
public:
    void append(qint64 timeMs, int value, bool startsRun = false);

    qsizetype size() const { return static_cast<qsizetype>(m_values.size()); }
    bool isEmpty() const { return m_values.empty(); }
    qint64 timeAt(qsizetype index) const { return m_times[static_cast<std::size_t>(index)]; }
    int valueAt(qsizetype index) const { return m_values[static_cast<std::size_t>(index)]; }

    // The indices [first, end) of the values taken from fromMs to toMs, both included.
    std::pair<qsizetype, qsizetype> indicesBetween(qint64 fromMs, qint64 toMs) const;
    // The summary of the values at indices [first, end).
    ValueSummary summary(qsizetype first, qsizetype end) const;
    // Whether a run starts at an index after `after` up to `upTo`, both
    // indices of values: whether a line from the value at `after` to the one
    // at `upTo` would cross a gap. The first value starts the first run.
    bool runStartsIn(qsizetype after, qsizetype upTo) const;

private:
    void summarizeCompletedBlocks();

    std::deque<qint64> m_times;
    std::deque<int> m_values;
    // m_blocks[k][i] summarizes the values [i * 64^(k+1), (i+1) * 64^(k+1)).
    // Only whole blocks are kept; the values after the last one are added singly.
    std::vector<std::vector<ValueSummary>> m_blocks;
    std::vector<qsizetype> m_runStarts; // ascending indices of the values that start a run
};

} // namespace kv

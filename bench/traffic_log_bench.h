#pragma once

namespace kv::bench {

// The traffic log's share of the window's work; each prints "key value" lines.
//
// Polling with the log open and closed in turns, in one process, so both
// meet the same machine: BLOCKS pairs of POLLS polls each, the first polls
// after a switch left out. With a full log the recorder starts at its
// capacity, so every batch also removes rows at the top.
int trafficLogPolling(int baud, int periodMs, int polls, int blocks, bool fullLog);

// Paging through a log of ROWS rows, each page painted at once.
int trafficLogScroll(int rows);

// A 1 MiB burst of garbage with the log open and the window polling.
int trafficLogBurst();

} // namespace kv::bench

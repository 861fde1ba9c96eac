"""The traffic log's section of docs/performance.md, from the figures scripts/bench gathered."""


def traffic_log_section(figures, number):
    fresh = figures("log-fresh")
    full = figures("log-full")
    scroll = figures("log-scroll")
    burst = figures("log-burst")

    print("## The traffic log\n")
    print("The window polls the simulated sensor every 50 ms at 9600 baud with the traffic log closed and "
          "open in turns, in one process, so both meet the same machine: "
          f"{fresh.get('blocks', '?')} blocks of {fresh.get('polls_per_block', '?')} polls each way, the first "
          "10 polls after each switch left out, the median block counted. Closed, the recorder still records "
          "(the window records from its start); open, the log window is shown beside the main window and "
          "follows the newest row. With a full log the recorder starts at its 100,000 frames, so every batch "
          "also removes rows at the top.\n")
    print("| log | CPU per poll, closed | open | open costs more by | rows at the end |")
    print("|---|---|---|---|---|")
    for name, run in (("growing", fresh), ("full (100,000 rows)", full)):
        print(f"| {name} | {number(run, 'closed_cpu_per_poll_ms'):.3f} ms | "
              f"{number(run, 'open_cpu_per_poll_ms'):.3f} ms | {number(run, 'open_extra_percent'):.1f} % | "
              f"{run.get('rows_at_end', '?')} |")

    print(f"\nPaging through {scroll.get('rows', '?')} rows, each page painted at once "
          f"({scroll.get('steps', '?')} pages and jumps): median {number(scroll, 'scroll_median_ms'):.2f} ms, "
          f"worst {number(scroll, 'scroll_worst_ms'):.2f} ms a page; opening the log on them took "
          f"{number(scroll, 'open_ms'):.1f} ms.\n")
    print(f"A 1 MiB burst of garbage while polling with the log open: the longest the window went without "
          f"handling a 10 ms timer was {number(burst, 'longest_gap_ms'):.1f} ms; the log holds "
          f"{burst.get('rows', '?')} rows, the garbage cut into frames of at most 256 bytes "
          f"({burst.get('unsolicited', '?')} unsolicited). Bytes the window's buffer reset empties from the "
          f"driver beyond its buffer size never reach the program and are not in the log.\n")

    print("What it took: the table moves what it already shows by the rows that came and went and paints "
          "only the rows new to the screen (a plain table repaints every visible row for each batch); cells "
          "draw texts that repeat (the request, the answer, \"发送\", \"正常\") from pictures made once and times "
          "from pictures of their digits; the statistics and status lines repaint alone twice a second "
          "without laying the window out; rows arrive in batches every 250 ms; a full recorder lets its "
          "oldest frames go a hundredth of its capacity at a time, since the table's header walks all "
          "100,000 rows for each removal at the top. Profiled before these, the open log cost about three "
          "times the closed window's CPU per poll.\n")

    print("| target | measured | met |")
    print("|---|---|---|")
    worst_extra = max(number(fresh, "open_extra_percent"), number(full, "open_extra_percent"))
    print(f"| log open costs at most 20 % more CPU per poll | {number(fresh, 'open_extra_percent'):.1f} % growing, "
          f"{number(full, 'open_extra_percent'):.1f} % full | {'yes' if worst_extra <= 20 else 'no'} |")
    worst_page = number(scroll, "scroll_worst_ms")
    print(f"| 100,000 rows scroll smoothly (a page under 16 ms) | {number(scroll, 'scroll_median_ms'):.2f} ms "
          f"median, {worst_page:.2f} ms worst | {'yes' if 0 < number(scroll, 'scroll_median_ms') < 16 else 'no'} |")
    gap = number(burst, "longest_gap_ms")
    print(f"| a 1 MiB burst leaves the window responsive (no gap over 100 ms) | {gap:.1f} ms | "
          f"{'yes' if 0 < gap < 100 else 'no'} |")

    print("\n```sh\nbuild/bench/poll_bench log 9600 50 200 4 fresh   # log closed and open in turns; full: a full log\n"
          "build/bench/poll_bench log-scroll 100000\nbuild/bench/poll_bench log-burst\n```\n")

"""Turns the figures scripts/bench gathered into docs/performance.md (on stdout).

    performance_report.py OUT POLLS           the whole report
    performance_report.py --cli-section OUT   only the command line's section
    performance_report.py --find-section OUT  only the section of the window's search for sensors
"""
import datetime
import os
import platform
import sys

from bench_figures import as_number, cpu_model, read_figures
from performance_find import find_section
from performance_peer import peer_section
from performance_traffic_log import traffic_log_section


def command_line_section(out):
    """The command line's figures: its watch beside mbpoll, and find."""

    def read(name):
        return read_figures(out, name)

    num = as_number

    lines = ["## The command line\n",
             f"Measured by `./scripts/bench --cli` on {datetime.date.today().isoformat()}. `kv9240b watch -f csv -o FILE` "
             "and mbpoll poll 5 registers at 9600 baud, side by side, each on a simulated sensor of its own with the "
             "same settings, so both run under the same load, each writing what it reads to a file (mbpoll's standard "
             "output redirected there). The Modbus TCP rows have each talk to the simulator playing a Modbus TCP "
             "gateway on 127.0.0.1 (`--modbus-tcp`, mbpoll `-m tcp`). Two of them are there to weigh the gap: in "
             "one mbpoll writes each reading to its file as it reads it, as the command line does; in the other "
             "`qt_tcp_floor` (in `bench/`), the smallest Qt program that asks for the same registers over a "
             "`QTcpSocket` on a timer and writes each answer's values to a file, stands where the command line was, "
             "to show what Qt's event loop costs before any work of ours. CPU: the time the process ran on a CPU "
             "(`/proc/<pid>/task/*/schedstat`) from its 20th reply on, divided by the replies in that stretch. "
             "Wake-ups: the times the process went to sleep and was woken, per poll (voluntary context switches). "
             "Decoded: records with status `ok` against the replies the simulator sent. Deviation: how far the "
             "distance between two records' time stamps (milliseconds) strays from the period.\n",
             "| period | polls | decoded / sent / asked | deviation median / p99 | CPU per poll (wake-ups) "
             "| mbpoll CPU per poll (wake-ups) | ours / mbpoll |",
             "|---|---|---|---|---|---|---|"]
    runs = {}
    row_names = {"tcp-50": "50 ms, Modbus TCP",
                 "tcp-50-line": "50 ms, Modbus TCP, mbpoll writing each line as it reads it (`stdbuf -oL`)",
                 "tcp-50-floor": "50 ms, Modbus TCP, the smallest Qt client (`qt_tcp_floor`) in our place"}
    for period in (50, 1000, "tcp-50", "tcp-50-line", "tcp-50-floor"):
        run = read(f"cli-{period}")
        if not run:
            continue
        runs[period] = run
        period = row_names.get(period, f"{period} ms")
        ours, theirs = num(run, "cli_cpu_per_poll_ms"), num(run, "mbpoll_cpu_per_poll_ms")
        ratio = f"{ours / theirs:.2f}" if theirs > 0 else "n/a"
        # The smallest Qt client writes no time stamps to measure a deviation by.
        deviation = (f"{num(run, 'cli_deviation_median_ms'):.1f} / {num(run, 'cli_deviation_p99_ms'):.1f} ms"
                     if "cli_deviation_median_ms" in run else "n/a")
        lines.append(f"| {period} | {run.get('cli_polls', '?')} | {run.get('cli_decoded', '?')} / "
                     f"{run.get('cli_replies_sent', '?')} / {run.get('cli_requests', '?')} | {deviation} | "
                     f"{ours:.3f} ms ({num(run, 'cli_wakeups_per_poll'):.1f}) | "
                     f"{theirs:.3f} ms ({num(run, 'mbpoll_wakeups_per_poll'):.1f}) | {ratio} |")

    find = read("cli-find")
    sweeps = [float(x) for x in find.get("sweep_seconds", "").split()]
    sweep = sorted(sweeps)[len(sweeps) // 2] if sweeps else 0.0
    scan = num(find, "scan_seconds")
    lines += ["",
              "`kv9240b find` where nothing answers (a simulated sensor that never replies): the station-250 sweep of "
              f"one port over the four rates took {', '.join(f'{x:.2f}' for x in sweeps) or '?'} s (three runs; the "
              "exchanges on the wire and the 100 ms allowance make 0.55 s), and the scan of stations 1 to 247 at 9600 "
              f"baud after it took {scan:.2f} s (247 times 29 ms on the wire and a 40 ms allowance, 17 s, plus the "
              "sweep).\n",
              "| target | measured | met |",
              "|---|---|---|"]

    def target(name, measured, met):
        lines.append(f"| {name} | {measured} | {'yes' if met else 'no'} |")

    fast = runs[50]
    decoded, sent = int(num(fast, "cli_decoded")), int(num(fast, "cli_replies_sent"))
    asked = int(num(fast, "cli_requests"))
    target("every reply decoded at 50 ms", f"{decoded} / {sent} (asked {asked})", sent > 0 and decoded == sent == asked)
    for period in (50, 1000, "tcp-50"):
        if period not in runs:
            continue
        ours, theirs = num(runs[period], "cli_cpu_per_poll_ms"), num(runs[period], "mbpoll_cpu_per_poll_ms")
        name = "50 ms through a Modbus TCP gateway (mbpoll -m tcp)" if period == "tcp-50" else f"{period} ms"
        target(f"CPU per poll no more than mbpoll's, {name}", f"{ours:.3f} vs {theirs:.3f} ms", 0 < ours <= theirs)
    if "tcp-50" in runs:
        tcp = runs["tcp-50"]
        decoded, sent = int(num(tcp, "cli_decoded")), int(num(tcp, "cli_replies_sent"))
        target("every reply decoded through the gateway at 50 ms", f"{decoded} / {sent}", sent > 0 and decoded == sent)
    target("station-250 sweep of one port, four rates, under 1 s", f"{sweep:.2f} s (median)", 0 < sweep < 1)
    target("scan of 247 stations at 9600 under 20 s", f"{scan:.2f} s", 0 < scan < 20)
    lines += ["",
              "Why a poll costs what it does. The simulator releases a reply a byte at a time, as a wire would, and "
              "every byte wakes whoever watches the line: mbpoll wakes for each. The command line is woken by the "
              "answer's first byte, whenever the sensor sends it, and then does not watch the line for the time the "
              "rest of the longest answer asked for takes on it (one character more), taking it all at once; the "
              "bytes taken are stamped as the line delivered them, one character time apart from the first, so the "
              "response time follows the sensor's turnaround, and a shorter answer (an exception) is stamped when "
              "its last byte came. So a poll wakes it about three times (the tick, the first byte and the rest "
              "of the answer). Profiled with perf and callgrind, the rest was cut where it showed: Qt's own "
              "event loop rather than glib's (`QT_NO_GLIB`), exactly the waiting bytes read rather than a 16 KiB "
              "block each time (the heap grew and shrank every exchange), the time zone named once (`TZ`) so that a "
              "time stamp does not look at /etc/localtime again, time stamps written digit by digit, and a write "
              "ended in the same turn of the event loop, and a record made once per reading, in bytes, from a time "
              "that keeps its UTC offset. Through a Modbus TCP gateway both programs wake twice a poll and make "
              "about the same system calls (ours: two waits, the request, the reply's size and bytes, the record "
              "written and the check that the file is still there); mbpoll's output to a file is block-buffered "
              "and reaches the file once in some 60 polls, while ours writes each record when it is read (a reading "
              "is in the file as soon as it is read). The last two rows weigh the rest: mbpoll writing each line "
              "as it reads it costs more, and the smallest Qt client, which does nothing but the exchange and the "
              "write, costs well above mbpoll by itself, close to what the command line costs. That part is Qt's "
              "event loop around each wake-up (timers, socket notifiers, signals), thin and spread out in perf, "
              "and no work of ours can take it away; halving the instructions of a poll (callgrind: 48 000 to "
              "about 20 000) did not move the CPU time measurably."]
    return "\n".join(lines)


def overview_section(out):
    """The overview of 20 sensors beside the window polling alone."""
    run = read_figures(out, "overview")
    window = read_figures(out, "overview-window")
    num = as_number
    ours, alone = num(run, "cpu_per_exchange_ms"), num(window, "cpu_per_poll_ms")
    decoded, exchanges = int(num(run, "decoded")), int(num(run, "exchanges"))
    lines = ["## The overview of many sensors\n",
             f"Measured by `./scripts/bench overview` on {datetime.date.today().isoformat()}. The overview reads "
             f"{run.get('sensors', '?')} simulated sensors on one line at {run.get('baud', '?')} baud, one round "
             f"per {run.get('shortest_period_ms', '?')} ms (the shortest period it takes: a round's time on the wire), "
             "for 30 rounds, the window open. A click is posted to a button in it every 100 ms, as the mouse "
             "would, and timed until the button answers. The window polling one sensor alone at 50 ms in the same "
             "run gives the CPU a poll of the main window costs.\n",
             "| target | measured | met |",
             "|---|---|---|"]
    lines.append(f"| every reply decoded | {decoded} / {exchanges} | {'yes' if exchanges > 0 and decoded == exchanges else 'no'} |")
    worst = num(run, "click_worst_ms")
    lines.append(f"| a click answered within 100 ms | median {num(run, 'click_median_ms'):.2f} ms, worst {worst:.2f} ms "
                 f"({run.get('clicks', '?')} clicks) | {'yes' if 0 < worst <= 100 else 'no'} |")
    lines.append(f"| CPU per exchange at most the main window's per poll | {ours:.3f} ms vs {alone:.3f} ms | "
                 f"{'yes' if 0 < ours <= alone else 'no'} |")
    return "\n".join(lines)


def serve_section(out):
    """The bridge at scale beside watch."""
    run = read_figures(out, "serve")
    num = as_number
    ours, watch = num(run, "cpu_per_exchange_ms"), num(run, "watch_cpu_per_exchange_ms")
    growth = num(run, "rss_end_kb") - num(run, "rss_after_first_minute_kb")
    exchanges, sound = int(num(run, "exchanges")), int(num(run, "sound"))
    p95 = num(run, "page_ms_p95")
    lines = ["## The bridge at scale\n",
             f"Measured by `./scripts/bench serve` on {datetime.date.today().isoformat()}. `kv9240b serve` polls 4 lines "
             "of 32 simulated sensors each at 19200 baud, as fast as the wires allow (a 100 ms interval, shorter "
             f"than a round), for {run.get('seconds', '?')} s after a first minute; its `/metrics` page is fetched with "
             "curl every second meanwhile. Then `kv9240b watch -s 1-32` reads the 32 stations of one of the lines for "
             "a minute. CPU from `/proc/<pid>/task/*/schedstat`, exchanges from the page's "
             "`kv9240b_exchanges_total`, memory from `VmRSS`.\n",
             "| target | measured | met |",
             "|---|---|---|",
             f"| every exchange accounted for, every reply sound | {sound} sound of {exchanges} "
             f"({num(run, 'exchanges_per_second'):.1f} a second) | {'yes' if exchanges > 0 and sound == exchanges else 'no'} |",
             f"| CPU per exchange at most `watch`'s | {ours:.3f} ms vs {watch:.3f} ms | {'yes' if 0 < ours <= watch else 'no'} |",
             f"| memory flat after the first minute | {int(num(run, 'rss_after_first_minute_kb'))} kB then "
             f"{int(num(run, 'rss_end_kb'))} kB | {'yes' if growth < 1024 else 'no'} |",
             f"| `/metrics` under 10 ms at the 95th percentile | median {num(run, 'page_ms_median'):.2f} ms, p95 "
             f"{p95:.2f} ms, worst {num(run, 'page_ms_worst'):.2f} ms ({run.get('pages', '?')} pages) | "
             f"{'yes' if 0 < p95 < 10 else 'no'} |"]
    return "\n".join(lines)


# One section alone, for a benchmark run of its own: --NAME-section OUT.
SECTIONS = {"--serve-section": serve_section, "--overview-section": overview_section,
            "--cli-section": command_line_section, "--window-section": peer_section,
            "--find-section": find_section}
if len(sys.argv) > 1 and sys.argv[1] in SECTIONS:
    print(SECTIONS[sys.argv[1]](sys.argv[2]))
    sys.exit(0)

out, polls = sys.argv[1], sys.argv[2]


def figures(name):
    return read_figures(out, name)


number = as_number


print("# Performance\n")
print(f"Measured by `./scripts/bench` on {datetime.date.today().isoformat()}: {cpu_model()}, "
      f"{os.cpu_count()} cores, {platform.system()} {platform.release()}. Every run uses the simulated "
      f"sensor on a pseudo-terminal, pacing its bytes at the line rate after a 5 ms turnaround, and "
      f"reads 5 registers (the start-up data length); {polls} polls a run.\n")

print("## What the line allows\n")
print("One exchange: the 8-byte request, the 3.5-character silence that ends it (or the 5 ms "
      "turnaround, whichever is longer), then the reply of 2 x registers + 5 bytes, 10 bit times a byte. "
      "That is also the shortest period at which every reply can arrive.\n")
print("| baud | character | 5 registers (15-byte reply) | 8 registers (21-byte reply) |")
print("|---|---|---|---|")
for baud in (2400, 4800, 9600, 19200):
    char_ms = 10_000 / baud
    gap = max(5.0, 3.5 * char_ms)
    five = 8 * char_ms + gap + 15 * char_ms
    eight = 8 * char_ms + gap + 21 * char_ms
    print(f"| {baud} | {char_ms:.3f} ms | {five:.1f} ms | {eight:.1f} ms |")

print("\n## Polling\n")
print("Deviation: how far each tick's distance from the previous one strays from the set period. "
      "Latency: from the simulator writing a reply's last byte to the decoded values being in the "
      "window (both stamped on CLOCK_MONOTONIC). CPU: user + system time of the process per poll. "
      "mbpoll polls with the same period, rate, registers and simulator; it waits its period after "
      "each reply, so it polls less often at a short period.\n")
print("| period | baud | decoded / sent | deviation median / p99 / worst | latency median / p99 | "
      "CPU per poll (kernel share) | resident start / after 50 polls / end | mbpoll polls/s | "
      "mbpoll CPU per poll | ours / mbpoll CPU |")
print("|---|---|---|---|---|---|---|---|---|---|")
rows = {}
for period in (50, 1000):
    for baud in (9600, 19200):
        tool = figures(f"tool-{baud}-{period}")
        mb = figures(f"mbpoll-{baud}-{period}")
        rows[(period, baud)] = (tool, mb)
        ours_cpu = number(tool, "cpu_per_poll_ms")
        mb_cpu = number(mb, "cpu_per_poll_ms")
        mb_rate = number(mb, "polls") / max(number(mb, "seconds", 1.0), 1e-9)
        ratio = f"{ours_cpu / mb_cpu:.2f}" if mb_cpu > 0 else "n/a"
        print(f"| {period} ms | {baud} | {tool.get('replies_decoded', '?')} / {tool.get('requests', '?')} | "
              f"{number(tool, 'deviation_median_ms'):.3f} / {number(tool, 'deviation_p99_ms'):.3f} / "
              f"{number(tool, 'deviation_worst_ms'):.3f} ms | "
              f"{number(tool, 'latency_median_ms'):.3f} / {number(tool, 'latency_p99_ms'):.3f} ms | "
              f"{ours_cpu:.3f} ms ({100 * number(tool, 'system_share'):.0f} %) | "
              f"{tool.get('resident_start_kb', '?')} / {tool.get('resident_warm_kb', '?')} / "
              f"{tool.get('resident_end_kb', '?')} KiB | "
              f"{mb_rate:.2f} | {mb_cpu:.3f} ms | {ratio} |")

start = figures("startup")
print("\n## Start-up\n")
print(f"From starting the process to the window shown (offscreen, COM1 on the simulator), "
      f"{start.get('runs', '?')} runs: median {number(start, 'startup_median_ms'):.1f} ms, "
      f"worst {number(start, 'startup_worst_ms'):.1f} ms.\n")

short = figures("tool-2400-50-8")
print("## A period shorter than the exchange\n")
print(f"At 2400 baud an 8-register exchange needs about 150 ms on the line, three times the 50 ms period. "
      f"Each tick sends a new request, which empties the receive buffer and takes the exchange over, so no "
      f"reply can complete: {short.get('replies_decoded', '?')} of {short.get('requests', '?')} requests got "
      f"a decoded reply, and the simulator answered {short.get('replies_sent', '?')} of them (it drops a "
      f"request that arrives while it is still replying, as a half-duplex device does). The values stay as "
      f"they were and the lamp stays yellow; nothing false is shown. A period above the exchange time "
      f"(see the first table) is needed.\n")

print("## Targets\n")
print("| target | measured | met |")
print("|---|---|---|")


def target(name, measured, met):
    print(f"| {name} | {measured} | {'yes' if met else 'no'} |")


for baud in (9600, 19200):
    tool = rows[(50, baud)][0]
    decoded, sent = int(number(tool, "replies_decoded")), int(number(tool, "requests"))
    target(f"every reply decoded at 50 ms, {baud} baud", f"{decoded} / {sent}", sent > 0 and decoded == sent)
worst_dev = max(number(rows[k][0], "deviation_p99_ms") for k in rows)
target("period deviation p99 under 2 ms", f"{worst_dev:.3f} ms (worst run)", worst_dev < 2)
worst_lat = max(number(rows[k][0], "latency_p99_ms") for k in rows)
target("reply-to-window latency p99 under 2 ms", f"{worst_lat:.3f} ms (worst run)", worst_lat < 2)
cpu_ok = all(number(rows[k][0], "cpu_per_poll_ms") <= number(rows[k][1], "cpu_per_poll_ms") for k in rows)
target("CPU per poll no more than mbpoll's",
       ", ".join(f"{number(rows[k][0], 'cpu_per_poll_ms'):.3f} vs {number(rows[k][1], 'cpu_per_poll_ms'):.3f} ms"
                 for k in sorted(rows)), cpu_ok)
startup_ms = number(start, "startup_median_ms")
target("start-up under 300 ms", f"{startup_ms:.1f} ms", 0 < startup_ms < 300)
growth = max(number(rows[k][0], "resident_end_kb") - number(rows[k][0], "resident_warm_kb") for k in rows)
target("no memory growth over the run (after the first 50 polls)", f"{growth:.0f} KiB largest growth",
       growth < 256)

print("\n## Why a poll costs more CPU than mbpoll's\n")
print("mbpoll is a command-line loop that prints a line per poll; the tool is a Qt Widgets window "
      "with its glib event loop. Profiled (perf, callgrind) per poll: the timer tick and the reply "
      "each wake the process (a wake-up is costly on this virtual machine, hence the kernel share), "
      "and the hex boxes are cleared and refilled as the exchange requires, each refill laying out "
      "a text document. What was ours to fix is fixed: the serial object now has the driver gather "
      "the bytes a receive event needs before waking the window (VMIN), where a reply paced at the "
      "line rate used to wake it once per byte, and boxes whose text comes back unchanged (the "
      "same frame, the same value) are no longer laid out again. Together these took the cost from "
      "about 1.25 to about 1.1 ms per poll; at a 50 ms period that is about 2 % of one core.\n")

print()
traffic_log_section(figures, number)

print("\n<!-- window:begin -->")
print(peer_section(out))
print("<!-- window:end -->")

print("\n<!-- cli:begin -->")
print(command_line_section(out))
print("<!-- cli:end -->")

print("\n<!-- serve:begin -->")
print(serve_section(out))
print("<!-- serve:end -->")

print("\n<!-- overview:begin -->")
print(overview_section(out))
print("<!-- overview:end -->")

print("\n<!-- find:begin -->")
print(find_section(out))
print("<!-- find:end -->")

print("\n## Commands\n")
print("```sh\n./scripts/bench                        # all of the above, about 40 minutes\n"
      "./scripts/bench --cli                  # only the command line, about 3 minutes\n"
      "./scripts/bench window                 # only the window beside the minimal Qt Modbus window, about 2 minutes\n"
      "./scripts/bench find                   # only the window's search for sensors, about 20 s\n"
      "./scripts/bench overview               # only the overview of 20 sensors, about a minute\n"
      "./scripts/bench serve                  # only the bridge at scale, about 13 minutes\n"
      "./scripts/bench chart                  # only the chart's section, about a minute\n"
      "build/bench/poll_bench poll 9600 50 600 5   # one polling run\n"
      "build/bench/poll_bench startup 10\n"
      "build/bench/find_bench 3               # three sweeps and a scan from the window's dialog\n"
      "build/bench/chart_bench window 24 50   # the chart window over 24 hours at 50 ms\n"
      "build/bench/chart_bench library 24 50  # the plot handed every point\n"
      "build/bench/chart_bench record 2000    # rows recorded, each synced to disk\n```")

"""Writes the chart's section of docs/performance.md from the figures scripts/bench
gathered: chart_report.py FIGURES_DIR DOC. The section replaces the one already
there, or goes before the commands; the rest of the file stays as it is."""
import datetime
import os
import sys

from bench_figures import as_number, cpu_model, read_figures

out, doc = sys.argv[1], sys.argv[2]
HEADING = "## The chart and the recording"


def figures(name):
    return read_figures(out, name)


number = as_number


def load_average():
    try:
        return open("/proc/loadavg").read().split()[0]
    except OSError:
        return "unknown"


def mib(kilobytes):
    return f"{kilobytes / 1024:.0f} MiB"


window, library, record = figures("chart-window"), figures("chart-library"), figures("chart-record")
readings = int(number(window, "readings"))
history_kb = number(window, "resident_history_kb") - number(window, "resident_start_kb")
peak_kb = number(window, "resident_peak_kb")
whole_worst, minute_worst = number(window, "whole_worst_ms"), number(window, "minute_worst_ms")
row_ms = number(record, "row_median_ms")

lines = [HEADING, ""]
lines.append(
    f"Measured by `./scripts/bench chart` on {datetime.date.today().isoformat()}: {cpu_model()}, "
    f"{os.cpu_count()} cores, load average {load_average()} when it ended. The window's history holds {number(window, 'hours'):.0f} hours of readings at "
    f"{number(window, 'period_ms'):.0f} ms, {readings:,} per quantity. A redraw is timed from the user's "
    f"action (the \"全部\" button, a new span on the time axis) to the plot and the figures beside it "
    f"painted, offscreen, 30 times each.\n")
lines.append("| redraw | median | p90 | worst |")
lines.append("|---|---|---|---|")
for key, name in (("whole", "the whole run"), ("minute", "the last minute")):
    lines.append(f"| {name} | {number(window, key + '_median_ms'):.1f} ms | {number(window, key + '_p90_ms'):.1f} ms "
                 f"| {number(window, key + '_worst_ms'):.1f} ms |")
lines.append("")
lines.append(
    f"Memory: {mib(number(window, 'resident_start_kb'))} resident before the readings, "
    f"{mib(number(window, 'resident_history_kb'))} with the history "
    f"({history_kb * 1024 / max(readings, 1):.0f} bytes a reading), {mib(number(window, 'resident_end_kb'))} "
    f"with the window open and drawn, {mib(peak_kb)} at the most. Keeping a reading takes "
    f"{number(window, 'append_us'):.2f} µs.\n")

lines.append("### Why this plot library\n")
lines.append("The same run drawn three ways, each redraw's worst of 30 and the process's peak resident memory. "
             "The window's times include painting the figures beside the plot; the others are the plot alone.\n")
lines.append("| drawn by | whole run | last minute | peak resident |")
lines.append("|---|---|---|---|")
lines.append(f"| the window: QCustomPlot 2.1 handed each pixel column's extremes | {whole_worst:.1f} ms | "
             f"{minute_worst:.1f} ms | {mib(peak_kb)} |")
lines.append(f"| QCustomPlot 2.1 handed every point | {number(library, 'library_whole_worst_ms'):.1f} ms | "
             f"{number(library, 'library_minute_worst_ms'):.1f} ms | "
             f"{mib(number(library, 'library_resident_peak_kb'))} |")
lines.append("| Qt Charts 6.4 handed every point (QLineSeries; measured once, on 2026-12-07, to choose) | "
             "9605 ms (median) | 9577 ms (median) | 701 MiB (after drawing) |")
lines.append("")
lines.append(
    "Qt Charts needs seconds for a redraw at this size and most of the memory budget: out of the question. "
    "QCustomPlot meets the targets even when handed every point, but its redraw grows with the points in "
    "view and it keeps its own copy of the run. The window hands it less: the history's block summaries give "
    "each pixel column's lowest and highest value directly, so the plot only ever holds a few thousand "
    "points, and a redraw costs about the same for a minute as for a day. The curves are drawn one pixel "
    "wide: a wider pen is stroked as an outline, which took the last minute of a noisy curve to 650 ms.\n")

lines.append("### Recording\n")
lines.append(
    f"Each row is written and handed to the disk (fdatasync) before the next reading is taken in, so a "
    f"crash or a power cut loses at most the row being written. Over {int(number(record, 'rows'))} rows: "
    f"median {row_ms:.2f} ms, p99 {number(record, 'row_p99_ms'):.2f} ms, worst "
    f"{number(record, 'row_worst_ms'):.2f} ms a row; at a 50 ms period that is {100 * row_ms / 50:.0f} % of "
    f"the time, on this machine's disk.\n")

lines.append("### Targets\n")
lines.append("| target | measured | met |")
lines.append("|---|---|---|")
lines.append(f"| every redraw of the whole run under 50 ms | {whole_worst:.1f} ms (worst) | "
             f"{'yes' if 0 < whole_worst < 50 else 'no'} |")
lines.append(f"| every redraw of the last minute under 50 ms | {minute_worst:.1f} ms (worst) | "
             f"{'yes' if 0 < minute_worst < 50 else 'no'} |")
lines.append(f"| memory under 300 MB with {readings:,} readings | {peak_kb / 1000:.0f} MB (peak) | "
             f"{'yes' if 0 < peak_kb < 300_000 else 'no'} |")
section = "\n".join(lines) + "\n"

text = open(doc).read() if os.path.exists(doc) else "# Performance\n"
parts = text.split("\n## ")
head, sections = parts[0], ["## " + part for part in parts[1:]]
kept = [part for part in sections if not part.startswith(HEADING + "\n")]
commands = next((i for i, part in enumerate(kept) if part.startswith("## Commands")), len(kept))
kept.insert(commands, section)
result = head.rstrip("\n") + "\n\n" + "\n".join(part.rstrip("\n") + "\n" for part in kept)
open(doc, "w").write(result)

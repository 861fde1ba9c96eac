"""The window's search for sensors: its section of docs/performance.md, from the figures scripts/bench gathered."""
import datetime

from bench_figures import as_number, read_figures


def find_section(out):
    values = read_figures(out, "window-find")

    def num(key):
        return as_number(values, key)

    sweeps = []
    for text in values.get("sweep_seconds", "").split():
        try:
            sweeps.append(float(text))
        except ValueError:
            pass
    sweep = sorted(sweeps)[len(sweeps) // 2] if sweeps else 0.0
    worst = max(sweeps) if sweeps else 0.0
    scan = num("scan_seconds")
    lines = ["## Finding a sensor from the window\n",
             f"Measured by `./scripts/bench find` on {datetime.date.today().isoformat()}. The dialog \"查找传感器\" "
             "opened from the window, driven as a user drives it, on a simulated sensor that never replies (so "
             "every exchange waits out its whole timeout, the slowest case): one port ticked, timed from the click "
             "on \"开始\" to the button taking clicks again, when the dialog shows the search ended. The dialog runs "
             "the same sweep as `kv9240b find` (see the command line's figures above).\n",
             f"The station-250 sweep over the four rates took {', '.join(f'{x:.2f}' for x in sweeps) or '?'} s "
             f"({len(sweeps)} runs); the scan of stations 1 to 247 at 9600 baud, with the station-250 read before "
             f"it, took {scan:.2f} s, and the window's process spent {num('scan_cpu_seconds'):.2f} s of CPU on it "
             "(progress, elapsed time and the rest of the dialog included).\n",
             "| target | measured | met |",
             "|---|---|---|",
             f"| station-250 sweep of one port, four rates, under 1 s | {sweep:.2f} s (median), {worst:.2f} s (worst) "
             f"| {'yes' if 0 < worst < 1 else 'no'} |",
             f"| scan of 247 stations at 9600 under 20 s | {scan:.2f} s | {'yes' if 0 < scan < 20 else 'no'} |"]
    return "\n".join(lines)

"""Reading the figures the benchmarks print: files of "key value" lines."""
import os
import platform


def read_figures(out, name):
    """The key/value lines of the file `name` in the folder `out`; empty when it is missing."""
    values = {}
    path = os.path.join(out, name)
    if os.path.exists(path):
        for line in open(path):
            key, _, value = line.strip().partition(" ")
            values[key] = value
    return values


def as_number(values, key, default=0.0):
    """The first word of a figure as a number, or the default."""
    try:
        return float(str(values.get(key, default)).split()[0])
    except (ValueError, IndexError):
        return default


def cpu_model():
    """The processor the figures were measured on."""
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            return line.split(":", 1)[1].strip()
    return platform.processor() or "unknown"

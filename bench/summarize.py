#!/usr/bin/env python3
"""Table of db_bench results from one or more --benchmark_out JSON files.

Every repetition of every file is one sample; the table gives the median
wall-clock time per iteration, the lowest and highest sample, the spread
(highest - lowest) as a percentage of the median, and where a benchmark
counts items, the median CPU time per item.

    python3 bench/summarize.py run1.json run2.json run3.json
"""
import json
import statistics
import sys


def fmt(value, unit):
    """Value in its unit, switched to a larger unit when long."""
    steps = {"ns": ("us", 1e3), "us": ("ms", 1e3), "ms": ("s", 1e3)}
    while unit in steps and value >= 1e4:
        unit, div = steps[unit][0], steps[unit][1]
        value /= div
    return "%.3g %s" % (value, unit)


def main(paths):
    samples = {}
    counters = {}
    order = []
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            if b.get("run_type") != "iteration" or b.get("error_occurred"):
                continue
            name = b["run_name"]
            if name not in samples:
                samples[name] = []
                counters[name] = {}
                order.append(name)
            samples[name].append((b["real_time"], b["time_unit"]))
            for key in ("live", "file_MiB", "blocks", "bytes_per_second", "items_per_second"):
                if key in b:
                    counters[name].setdefault(key, []).append(b[key])

    print("| Benchmark | samples | median | min | max | spread | per item | notes |")
    print("|---|---:|---:|---:|---:|---:|---:|---|")
    for name in order:
        times = [t for t, _ in samples[name]]
        unit = samples[name][0][1]
        med = statistics.median(times)
        lo, hi = min(times), max(times)
        notes = []
        c = counters[name]
        if "bytes_per_second" in c:
            notes.append("%.0f MiB/s" % (statistics.median(c["bytes_per_second"]) / 2**20))
        if "blocks" in c:
            notes.append("%.0f blocks" % statistics.median(c["blocks"]))
        if "live" in c:
            notes.append("%.0f live" % statistics.median(c["live"]))
        if "file_MiB" in c:
            notes.append("file %.4g MiB" % statistics.median(c["file_MiB"]))
        per_item = ""
        if "items_per_second" in c:
            per_item = "%.3g ns" % (1e9 / statistics.median(c["items_per_second"]))
        print("| %s | %d | %s | %s | %s | %.0f%% | %s | %s |"
              % (name, len(times), fmt(med, unit), fmt(lo, unit), fmt(hi, unit),
                 100.0 * (hi - lo) / med, per_item, ", ".join(notes)))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])

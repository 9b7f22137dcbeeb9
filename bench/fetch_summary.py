#!/usr/bin/env python3
"""Table of the rounds of scripts/bench-fetch.sh, then the median, lowest and
highest round and the spread ((highest - lowest) / median) of each figure.

    python3 bench/fetch_summary.py build/fetch-bench/results.tsv PAGES

"wget" is wget as it comes, "wget 1/conn" wget with --no-http-keep-alive
(one request per connection, as our client makes them), "ours" fetch_bench
under Wine. CPU is per page in milliseconds: the fetching process's own
(user + system), and beside ours the Wine server's, which carries every
socket call and window message of a Wine process.
"""
import csv
import statistics
import sys


def summary(values, fmt):
    m = statistics.median(values)
    spread = (max(values) - min(values)) / m * 100 if m else 0
    return "%s (%s-%s, %.0f%%)" % (fmt % m, fmt % min(values), fmt % max(values), spread)


def main(path, pages):
    with open(path) as f:
        rows = list(csv.DictReader(f, delimiter="\t"))
    if not rows:
        print("no rounds")
        return 1

    def col(name, per_page_ms=False):
        values = [float(r[name]) for r in rows]
        return [v * 1000 / pages for v in values] if per_page_ms else values

    sides = [
        ("wget", col("wget_wall"), col("wget_cpu", True), None, col("wget_server", True)),
        ("wget 1/conn", col("nk_wall"), col("nk_cpu", True), None, col("nk_server", True)),
        ("ours", col("our_wall"), col("our_cpu", True), col("wineserver_cpu", True), col("our_server", True)),
    ]

    print()
    print("| round | wget s | wget 1/conn s | ours s | ours / wget | ours / wget 1/conn "
          "| ours CPU ms/page | wineserver ms/page |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|")
    for i, r in enumerate(rows):
        w, n, o = sides[0][1][i], sides[1][1][i], sides[2][1][i]
        print("| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.3f | %.3f |"
              % (r["round"], w, n, o, o / w, o / n, sides[2][2][i], sides[2][3][i]))

    print()
    print("Median (lowest-highest, spread) over %d rounds of %d pages:" % (len(rows), pages))
    print()
    print("| side | wall s | pages/s | CPU ms/page | Wine server ms/page | HTTP server ms/page |")
    print("|---|---|---:|---|---|---|")
    for name, wall, cpu, wineserver, server in sides:
        print("| %s | %s | %.0f | %s | %s | %s |"
              % (name, summary(wall, "%.2f"), pages / statistics.median(wall), summary(cpu, "%.3f"),
                 summary(wineserver, "%.3f") if wineserver else "-", summary(server, "%.3f")))
    ours = sides[2][1]
    print()
    print("ours / wget wall: %s; ours / wget 1/conn: %s; ours %.1f MB/s of response bytes"
          % (summary([o / w for o, w in zip(ours, sides[0][1])], "%.2f"),
             summary([o / n for o, n in zip(ours, sides[1][1])], "%.2f"),
             statistics.median(col("our_mbps"))))
    short = [r["round"] for r in rows
             if int(r["our_pages"]) != pages or int(r["wget_files"]) != pages or int(r["nk_files"]) != pages]
    if short:
        print("rounds where a side fetched fewer than %d pages: %s" % (pages, ", ".join(short)))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], int(sys.argv[2])))

#!/usr/bin/env python3
"""coverage_diff.py BEFORE.json AFTER.json: list the lines and branches of
the program that BEFORE's tests reached and AFTER's do not. Exits 1 when
there are any, so a leaner test suite can be shown to exercise as much."""
import json
import sys


def reached(path):
    with open(path) as f:
        data = json.load(f)
    lines, branches = set(), set()
    for entry in data["files"]:
        name = entry["file"]
        for line in entry["lines"]:
            if line.get("gcovr/noncode"):
                continue
            if line["count"] > 0:
                lines.add((name, line["line_number"]))
            for i, branch in enumerate(line.get("branches", [])):
                if branch["count"] > 0:
                    branches.add((name, line["line_number"], i))
    return lines, branches


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: coverage_diff.py BEFORE.json AFTER.json")
    before_lines, before_branches = reached(sys.argv[1])
    after_lines, after_branches = reached(sys.argv[2])
    lost_lines = sorted(before_lines - after_lines)
    lost_branches = sorted(before_branches - after_branches)
    for name, line in lost_lines:
        print(f"line   {name}:{line}")
    for name, line, i in lost_branches:
        print(f"branch {name}:{line} #{i}")
    print(f"lines reached {len(before_lines)} -> {len(after_lines)}, "
          f"branches {len(before_branches)} -> {len(after_branches)}; "
          f"lost {len(lost_lines)} lines, {len(lost_branches)} branches")
    sys.exit(1 if lost_lines or lost_branches else 0)


main()

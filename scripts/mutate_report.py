#!/usr/bin/env python3
"""mutate_report.py: read the results of one or more mutate.py runs.

    mutate_report.py RESULTS.json...              who kills what, alone
    mutate_report.py --cover REGEX RESULTS.json... which failures matching
        REGEX (table rows, cases) could go with no killed mutant lost
    mutate_report.py --compare BEFORE.json... vs AFTER.json...
        the killed mutants of two runs, which must be the same
    mutate_report.py --survivors RESULTS.json...  the mutants nobody kills
"""
import argparse
import collections
import json
import re
import sys


def load(paths):
    mutants = []
    for p in paths:
        with open(p) as f:
            mutants.extend(json.load(f)["mutants"])
    return [m for m in mutants if m["status"] != "compile-error"]


LOOSE = False
STRIP = []


def loosen(key):
    """The key without the values the assertions printed, for comparing
    runs whose keys were made with and without them."""
    key = re.sub(r' (Which is|As Text): "(?:[^"\\]|\\.)*"', "", key)
    return re.sub(r" (Which is|As Text): \S+", "", key)


def keys_of(m):
    keys = {k for ks in m["failed"].values() for k in ks}
    for rx in STRIP:
        keys = {re.sub(rx, "", k) for k in keys}
    return {loosen(k) for k in keys} if LOOSE else keys


def who_kills(mutants):
    killed = [m for m in mutants if m["status"] == "killed"]
    print("mutants made %d, killed %d, surviving %d (unreached %d)"
          % (len(mutants), len(killed), len(mutants) - len(killed),
             sum(m["status"] == "unreached" for m in mutants)))
    only = collections.defaultdict(list)
    for m in killed:
        ks = keys_of(m)
        if len(ks) == 1:
            only[next(iter(ks))].append(m["id"])
    for k in sorted(only):
        print("%3d  %s" % (len(only[k]), k))
        for i in only[k]:
            print("       " + i)


def cover(mutants, pattern, ignore=None):
    """Keep every failure not matching pattern; then, greedily, the
    matching ones that kill mutants nothing kept kills yet. Failures with
    the same set of kills are one choice."""
    rx = re.compile(pattern)
    killed = [m for m in mutants if m["status"] == "killed"]
    if ignore:
        # Failures that name no row: they show that some row caught the
        # mutant, not which, so they may not stand in for any row.
        drop = re.compile(ignore)
        for m in killed:
            m["failed"] = {t: [k for k in ks if not drop.search(k)] for t, ks in m["failed"].items()}
    all_keys = set().union(*(keys_of(m) for m in killed)) if killed else set()
    kills = collections.defaultdict(set)
    for m in killed:
        for k in keys_of(m):
            kills[k].add(m["id"])
    fixed = {k for k in all_keys if not rx.search(k)}
    covered = set().union(*(kills[k] for k in fixed)) if fixed else set()
    candidates = {k for k in all_keys if rx.search(k)}
    keep = set()
    need = {m["id"] for m in killed} - covered
    while need:
        best = max(sorted(candidates - keep), key=lambda k: len(kills[k] & need))
        if not kills[best] & need:
            break
        keep.add(best)
        need -= kills[best]
    if need:
        print("killed only by failures that name no row (%d): keep the rows that reach them" % len(need))
        for i in sorted(need):
            print("   " + i)
    print("kept for their own kills (%d):" % len(keep))
    for k in sorted(keep):
        print("   %s   (%d kills)" % (k, len(kills[k])))
    print("may go (%d, each kill also made by something kept):" % len(candidates - keep))
    for k in sorted(candidates - keep):
        print("   %s" % k)


def compare(before, after):
    kb = {m["id"] for m in before if m["status"] == "killed"}
    ka = {m["id"] for m in after if m["status"] == "killed"}
    print("before: %d made, %d killed; after: %d made, %d killed" % (len(before), len(kb), len(after), len(ka)))
    for i in sorted(kb - ka):
        print("  lost:   " + i)
    for i in sorted(ka - kb):
        print("  gained: " + i)
    return kb == ka


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cover")
    ap.add_argument("--ignore", help="REGEX: failures that name no row, with --cover")
    ap.add_argument("--compare", action="store_true")
    ap.add_argument("--survivors", action="store_true")
    ap.add_argument("--loose", action="store_true", help="leave printed values out of the failure names")
    ap.add_argument("--strip", action="append", default=[],
                    help="REGEX: leave this out of the failure names (say, a split point)")
    ap.add_argument("files", nargs="+")
    a = ap.parse_args()
    global LOOSE
    LOOSE = a.loose
    STRIP.extend(a.strip)
    if a.compare:
        cut = a.files.index("vs") if "vs" in a.files else None
        if cut is None:
            sys.exit("--compare BEFORE... vs AFTER...")
        sys.exit(0 if compare(load(a.files[:cut]), load(a.files[cut + 1:])) else 1)
    mutants = load(a.files)
    if a.cover:
        cover(mutants, a.cover, a.ignore)
    elif a.survivors:
        for m in mutants:
            if m["status"] != "killed":
                print("%-9s %s" % (m["status"], m["id"]))
    else:
        who_kills(mutants)


if __name__ == "__main__":
    main()

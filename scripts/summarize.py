#!/usr/bin/env python3
"""Adds up the GoogleTest XML reports under a directory into one line."""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def main(root):
    passed = failed = skipped = 0
    reports = sorted(glob.glob(os.path.join(root, "**", "*.xml"), recursive=True))
    for path in reports:
        try:
            suites = ET.parse(path).getroot()
        except ET.ParseError:
            print(f"unreadable report: {path}")
            failed += 1
            continue
        for case in suites.iter("testcase"):
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            elif case.get("result") == "skipped" or case.find("skipped") is not None:
                skipped += 1
            else:
                passed += 1
    print(f"{len(reports)} test programs reported")
    print(f"summary: {passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or not reports else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))

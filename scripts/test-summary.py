#!/usr/bin/env python3
"""Adds up the JUnit-style reports of all test programs into one closing line: 'N passed, N failed'."""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def count(report):
    root = ET.parse(report).getroot()
    suites = [root] if root.tag == "testsuite" else root.iter("testsuite")
    tests = failed = skipped = 0
    for suite in suites:
        tests += int(suite.get("tests", 0))
        failed += int(suite.get("failures", 0)) + int(suite.get("errors", 0))
        skipped += int(suite.get("skipped", 0)) + int(suite.get("disabled", 0))
    return tests, failed, skipped


def main():
    folder = sys.argv[1]
    tests = failed = skipped = 0
    reports = sorted(glob.glob(os.path.join(folder, "*.xml")))
    for report in reports:
        try:
            t, f, s = count(report)
        except (ET.ParseError, OSError):
            print(f"test-summary: unreadable report {report}", file=sys.stderr)
            failed += 1
            continue
        tests, failed, skipped = tests + t, failed + f, skipped + s
    passed = tests - failed - skipped
    print(f"Summary: {passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or not reports else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Sums test results over CTest JUnit files and prints the closing line.

usage: count_results.py [--reports DIR] [--extra PASSED FAILED] JUNIT...

A CTest test with a GoogleTest XML report of the same name in a --reports
directory counts as its test cases (the Wine programs); any other CTest test
counts once. A program that failed although its report shows no failing case
(it crashed, or could not start) counts one failure more.
"""
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    root = ET.parse(path).getroot()
    total = int(root.get("tests", 0))
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped = int(root.get("disabled", 0)) + int(root.get("skipped", 0))
    return total - failed - skipped, failed


def main(argv):
    passed = failed = 0
    reports = []
    files = []
    i = 0
    while i < len(argv):
        if argv[i] == "--reports":
            reports.append(argv[i + 1]); i += 2
        elif argv[i] == "--extra":
            passed += int(argv[i + 1]); failed += int(argv[i + 2]); i += 3
        else:
            files.append(argv[i]); i += 1
    for junit in files:
        if not os.path.exists(junit):
            print(f"missing result file {junit}", file=sys.stderr)
            failed += 1
            continue
        for case in ET.parse(junit).getroot().iter("testcase"):
            name = case.get("name")
            ok = case.get("status") in ("run", "passed", None) and case.find("failure") is None \
                and case.find("error") is None
            if case.get("status") == "notrun" or case.find("skipped") is not None:
                ok = False
            report = next((os.path.join(d, name + ".xml") for d in reports
                           if os.path.exists(os.path.join(d, name + ".xml"))), None)
            if report:
                p, f = gtest_counts(report)
                passed += p
                failed += f
                if not ok and f == 0:
                    failed += 1
            elif ok:
                passed += 1
            else:
                failed += 1
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Checks that the status tables of the integrator guide list exactly the codes
the code defines: the control's ControlStatus and the device's DeviceStatus.
Prints what differs and exits non-zero on any difference."""
import re
import sys
from pathlib import Path

root = Path(__file__).resolve().parents[2]
SOURCES = {
    "control": (root / "control/tavrik_ctrl.h", "ControlStatus"),
    "device": (root / "device/device_contract.h", "DeviceStatus"),
}


def enum_codes(path, name):
    text = path.read_text(encoding="utf-8")
    body = re.search(r"enum\s+" + name + r"\b[^{]*\{(.*?)\};", text, re.S)
    if not body:
        sys.exit(f"{path}: enum {name} not found")
    return {int(v) for v in re.findall(r"=\s*(-?\d+)\s*,", body.group(1) + ",")}


def table_codes(doc, name):
    block = re.search(r"<!-- status-table: " + name + r" -->\n(.*?)<!-- end -->", doc, re.S)
    if not block:
        sys.exit(f"integrator guide: no status table '{name}'")
    return {int(m) for m in re.findall(r"^\|\s*(-?\d+)\s*\|", block.group(1), re.M)}


def main():
    doc = (root / "docs/integrator-guide.md").read_text(encoding="utf-8")
    failures = 0
    for table, (path, enum) in SOURCES.items():
        in_code, in_doc = enum_codes(path, enum), table_codes(doc, table)
        for code in sorted(in_code - in_doc):
            print(f"FAIL {table} status {code} ({enum}) is missing from the guide")
            failures += 1
        for code in sorted(in_doc - in_code):
            print(f"FAIL {table} status {code} in the guide is not a {enum} value")
            failures += 1
        print(f"{table}: {len(in_code)} codes in {path.relative_to(root)}, {len(in_doc)} in the guide")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks that a 32-bit x86 image does its floating point in SSE registers.

usage: check_sse_float.py [--expect-float] TRIPLE IMAGE LIBRARY...

The functions of IMAGE that come from the given static libraries (the tree's
own code) must contain no x87 arithmetic or comparison: on the x87 stack
intermediates keep 80 bits, so results and comparisons could differ from the
x86-64 build the tests run. Loads and stores of the x87 stack stay allowed
(the 32-bit calling convention returns float and double in st(0)), and the
runtime's own functions (long double printing and parsing) are not checked.
An image without symbols (the stripped module DLLs, which link no runtime)
is checked whole.
With --expect-float an image whose own functions show no SSE float code at
all fails too (its float code went somewhere the check cannot see).
Prints one line per offending function and a closing line; exits 1 on any.
"""
import re
import subprocess
import sys

X87_ARITHMETIC = re.compile(
    r"^(f(i?add|i?sub|i?subr|i?mul|i?div|i?divr)p?|fsqrt|fprem1?|frndint|fscale|f(i?com|ucom)(i|p|pp|ip)?"
    r"|fsin|fcos|fsincos|fptan|fpatan|f2xm1|fyl2x|fyl2xp1)(s|l|ll|t)?$")  # AT&T operand-size suffixes
SSE_SCALAR = re.compile(r"^((add|sub|mul|div|sqrt|min|max)s[sd]|u?comis[sd]|cvt\w*(ss|sd)\w*)$")
FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*[0-9a-f]+:\s+(\S+)")


def own_functions(triple, libraries):
    names = set()
    for library in libraries:
        out = subprocess.run([f"{triple}-nm", "--defined-only", library], capture_output=True, text=True).stdout
        for line in out.splitlines():
            parts = line.split()
            if len(parts) == 3 and parts[1] in "Tt":
                names.add(parts[2])
    return names


def main(argv):
    expect_float = bool(argv) and argv[0] == "--expect-float"
    if expect_float:
        argv = argv[1:]
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    triple, image, libraries = argv[0], argv[1], argv[2:]
    own = own_functions(triple, libraries)
    disassembly = subprocess.run([f"{triple}-objdump", "-d", "--no-show-raw-insn", image],
                                 capture_output=True, text=True, check=True).stdout
    labels = [m.group(1) for m in map(FUNCTION.match, disassembly.splitlines()) if m]
    stripped = all(label.startswith(".") for label in labels)
    x87 = {}
    sse_functions = set()
    function = None
    for line in disassembly.splitlines():
        m = FUNCTION.match(line)
        if m:
            function = m.group(1) if stripped or m.group(1) in own else None
            continue
        m = INSTRUCTION.match(line) if function else None
        if not m:
            continue
        mnemonic = m.group(1)
        if X87_ARITHMETIC.match(mnemonic):
            x87.setdefault(function, set()).add(mnemonic)
        elif SSE_SCALAR.match(mnemonic):
            sse_functions.add(function)
    for name in sorted(x87):
        print(f"FAIL {image}: {name} uses x87 arithmetic ({', '.join(sorted(x87[name]))})")
    print(f"sse-float {image}: {len(sse_functions)} own functions with SSE float code, {len(x87)} with x87")
    if expect_float and not sse_functions:
        print(f"FAIL {image}: no SSE float code in its own functions")
        return 1
    return 1 if x87 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

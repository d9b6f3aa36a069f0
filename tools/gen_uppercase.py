#!/usr/bin/env python3
"""Write text/UpperCaseTable.cpp: the (lower, upper) pairs that ToUpperUnit
looks up for the units its range rules do not answer.

Source: the Unicode character database (UnicodeData.txt for the simple
uppercase mappings, DerivedAge.txt for the version each character came with).
A pair is kept when the lower-case character belongs to Unicode 5.2 and its
upper-case target exists by Unicode 7.0, both are BMP units, the lower-case
unit lies in U+00F8..U+A78C, and no range rule of ToUpperUnit decides it.
The Greek symbol forms and the micro sign are left out on purpose so that
they stay unchanged.

Usage: gen_uppercase.py [--ucd DIR] [--out FILE] [--check]
  --check  compare with the existing output file instead of writing it
"""

import argparse
import os
import sys

REPERTOIRE = (5, 2)
TARGET_REPERTOIRE = (7, 0)
FIRST, LAST = 0x00F8, 0xA78C
EXPECTED_COUNT = 402
# micro sign and the Greek symbol forms of beta, phi, pi, kappa, rho
LEFT_OUT = {0x00B5, 0x03D0, 0x03D5, 0x03D6, 0x03F0, 0x03F1}

ODD_RANGES = [(0x101, 0x12F), (0x14B, 0x177), (0x1F9, 0x21F), (0x48B, 0x4BF),
              (0x4D1, 0x525), (0x1E01, 0x1E95), (0x1EA1, 0x1EFF),
              (0x2C81, 0x2CE3), (0xA733, 0xA76F)]
MINUS_20 = [(0x61, 0x7A), (0xE0, 0xF6), (0x430, 0x44F), (0xFF41, 0xFF5A)]
UNCHANGED = [(0x0, 0x60), (0x7B, 0xDF), (0x4D0, 0x1D78), (0x2185, 0x2C60),
             (0x2CEF, 0xA640), (0xA78D, 0xFFFF)]
MINUS_30 = [(0x561, 0x586), (0x2C30, 0x2C5E)]
MINUS_1A = [(0x24D0, 0x24E9)]
MINUS_1C60 = [(0x2D00, 0x2D25)]


def inside(u, ranges):
    return any(lo <= u <= hi for lo, hi in ranges)


def rule_decides(u):
    """True when a range rule of ToUpperUnit maps u without the table (the
    rules are tried in the same order as in text/UpperCase.cpp)."""
    if u < 0x61 or inside(u, MINUS_20[:1]) or 0x7B <= u <= 0xDF:
        return True
    if inside(u, MINUS_20[1:]):
        return True
    if u % 2 == 1 and inside(u, ODD_RANGES):
        return True
    if inside(u, MINUS_30) or inside(u, MINUS_1A) or inside(u, MINUS_1C60):
        return True
    return inside(u, UNCHANGED)


def read_ages(path):
    ages = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            span, age = (part.strip() for part in line.split(";"))
            major, minor = (int(x) for x in age.split("."))
            lo, _, hi = span.partition("..")
            lo = int(lo, 16)
            hi = int(hi, 16) if hi else lo
            for cp in range(lo, hi + 1):
                ages[cp] = (major, minor)
    return ages


def read_unicode_data(path):
    upper, names = {}, {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(";")
            if len(fields) < 13:
                continue
            cp = int(fields[0], 16)
            names[cp] = fields[1]
            if fields[12]:
                upper[cp] = int(fields[12], 16)
    return upper, names


def pairs(ucd):
    ages = read_ages(os.path.join(ucd, "DerivedAge.txt"))
    upper, names = read_unicode_data(os.path.join(ucd, "UnicodeData.txt"))
    result = []
    for lower in range(FIRST, LAST + 1):
        target = upper.get(lower)
        if target is None or target > 0xFFFF or lower in LEFT_OUT:
            continue
        if ages.get(lower, (99, 0)) > REPERTOIRE:
            continue
        if ages.get(target, (99, 0)) > TARGET_REPERTOIRE:
            continue
        if rule_decides(lower):
            continue
        result.append((lower, target, names.get(lower, "")))
    return result


def render(table):
    lines = [
        "// Unicode simple uppercase mappings (UnicodeData.txt, DerivedAge.txt), written by tools/gen_uppercase.py.",
        "",
        '#include "text/UpperCase.h"',
        "",
        "const UpperCasePair kUpperCasePairs[] = {",
        "    // lower   upper",
    ]
    for lower, upper, name in table:
        lines.append("    { 0x%04X, 0x%04X },  // %s" % (lower, upper, name.lower()))
    lines += [
        "};",
        "",
        "const int kUpperCasePairCount = (int)(sizeof(kUpperCasePairs) / sizeof(kUpperCasePairs[0]));",
        "",
    ]
    return "\n".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--ucd", default="/usr/share/unicode")
    parser.add_argument("--out", default=os.path.join(here, "..", "text", "UpperCaseTable.cpp"))
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()

    table = pairs(args.ucd)
    if len(table) != EXPECTED_COUNT:
        sys.stderr.write("gen_uppercase: %d pairs, expected %d\n" % (len(table), EXPECTED_COUNT))
        return 1
    text = render(table)
    if args.check:
        with open(args.out, encoding="utf-8") as f:
            if f.read() != text:
                sys.stderr.write("gen_uppercase: %s is out of date\n" % args.out)
                return 1
        return 0
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

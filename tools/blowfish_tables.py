#!/usr/bin/env python3
"""Writes payload/BlowfishTables.cpp: the cipher's initial subkeys and
S-boxes, which are the fractional hexadecimal digits of pi in order.

The digits come from Machin's formula, pi = 16 atan(1/5) - 4 atan(1/239),
evaluated in fixed point with guard bits.

usage: blowfish_tables.py OUTPUT
"""

import sys

WORDS_P = 18
WORDS_S = 4 * 256
GUARD_BITS = 64


def atan_inverse(x, one):
    total = term = one // x
    x_squared = x * x
    n = 1
    sign = -1
    while term:
        term //= x_squared
        n += 2
        total += sign * (term // n)
        sign = -sign
    return total


def pi_words(count):
    digits = count * 8
    one = 1 << (4 * digits + GUARD_BITS)
    pi = 16 * atan_inverse(5, one) - 4 * atan_inverse(239, one)
    fraction = (pi - 3 * one) >> GUARD_BITS
    text = format(fraction, "X").rjust(digits, "0")
    return [text[i:i + 8] for i in range(0, digits, 8)]


def table_lines(words, per_line):
    lines = []
    for i in range(0, len(words), per_line):
        lines.append("    " + ", ".join("0x" + w for w in words[i:i + per_line]) + ",")
    return lines


def main():
    words = pi_words(WORDS_P + WORDS_S)
    out = [
        "// The cipher's initial subkeys and S-boxes: the fractional hexadecimal",
        "// digits of pi in order (written by tools/blowfish_tables.py).",
        "",
        '#include "payload/Blowfish.h"',
        "",
        "const u32 g_blowfishInitialP[kBlowfishSubkeys] = {",
    ]
    out += table_lines(words[:WORDS_P], 6)
    out += ["};", "", "const u32 g_blowfishInitialS[4][256] = {"]
    for box in range(4):
        start = WORDS_P + box * 256
        out.append("    {")
        out += table_lines(words[start:start + 256], 8)
        out.append("    },")
    out += ["};", ""]
    with open(sys.argv[1], "w", newline="\n") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()

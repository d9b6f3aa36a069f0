#!/usr/bin/env python3
"""Build check of one layout library: every pattern text the installer uses
to find the tables it patches (strings 146 to 151) must be upper-case
hexadecimal and match the library exactly once, at the table it names. A
library that fails is deleted so that the build stops and runs again.

    check_layout.py --strings common.txt --map LIB.map --family F
                    [--layout klawisz.layout] LIB.dll
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gen_layout  # noqa: E402
import layout_library  # noqa: E402

HEX_DIGITS = "0123456789ABCDEF"
# Entries the installer may patch in the scancode table (scancodes below 0x7F).
PATCHED_SCANCODES = 0x7F


def read_strings(path):
    """id -> text of a string table source (UTF-8, '<id><TAB><text>')."""
    strings = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            key, tab, text = line.partition("\t")
            if not tab or not key.isdigit():
                continue
            text = text.replace("\\\\", "\0").replace("\\n", "\n").replace("\\t", "\t").replace("\0", "\\")
            strings[int(key)] = text
    return strings


def decode_pattern(text):
    """The bytes of a pattern text, or an error message."""
    if text is None:
        return None, "is missing"
    if not text:
        return None, "is empty"
    if len(text) % 2:
        return None, "has an odd number of digits"
    bad = [c for c in text if c not in HEX_DIGITS]
    if bad:
        return None, "holds %r, which is not an upper-case hexadecimal digit" % bad[0]
    return bytes.fromhex(text), None


def occurrences(data, pattern):
    found = []
    at = data.find(pattern)
    while at >= 0:
        found.append(at)
        at = data.find(pattern, at + 1)
    return found


def check(args):
    image = layout_library.PeImage(args.library)
    strings = read_strings(args.strings)
    expected = {}
    if args.layout:
        expected = gen_layout.pattern_bytes(gen_layout.load_layout(args.layout))
    errors = []
    checked = set()
    for form, tables in layout_library.table_forms(image, args.map):
        if tables.max_vsc < PATCHED_SCANCODES:
            errors.append("the %s scancode table has %d entries; the installer patches up to 0x%02X"
                          % (form, tables.max_vsc, PATCHED_SCANCODES - 1))
        if tables.decimal_cell is None:
            errors.append("the %s tables have no decimal key with two character cells" % form)
        places = [
            (gen_layout.PATTERN_SCANCODES[args.family], "the scancode table's entry 0", tables.vsc_to_vk_address),
            (gen_layout.PATTERN_E0, "the first record of the E0 table", tables.e0_address),
            (gen_layout.PATTERN_E1, "the first record of the E1 table", tables.e1_address),
            (gen_layout.PATTERN_DECIMAL, "the decimal key's first character cell", tables.decimal_cell),
        ]
        for string_id, place, va in places:
            # Both table forms share the patched tables: check each place once.
            if va is None or (string_id, va) in checked:
                continue
            checked.add((string_id, va))
            pattern, problem = decode_pattern(strings.get(string_id))
            if problem is None:
                where = image.va_to_offset(va)
                found = occurrences(image.data, pattern)
                if found != [where]:
                    problem = "matches %d time(s)%s; it must match once, at file offset 0x%X" % (
                        len(found), " (at " + ", ".join("0x%X" % f for f in found) + ")" if found else "", where)
            if problem:
                message = "string %d (the pattern of %s) %s" % (string_id, place, problem)
                if string_id in expected:
                    message += "\n    the layout definition gives: %d\t%s" % (
                        string_id, gen_layout.hex_text(expected[string_id]))
                errors.append(message)
    return errors


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--strings", required=True)
    parser.add_argument("--map", required=True)
    parser.add_argument("--family", type=int, choices=gen_layout.FAMILIES, required=True)
    parser.add_argument("--layout")
    parser.add_argument("--remove-on-failure", action="store_true")
    parser.add_argument("library")
    args = parser.parse_args(argv)
    try:
        errors = check(args)
    except (OSError, layout_library.LibraryError, gen_layout.LayoutError) as e:
        errors = [str(e)]
    if not errors:
        return 0
    print("error: layout library %s fails its pattern check (pattern texts from %s):"
          % (args.library, args.strings), file=sys.stderr)
    for error in errors:
        print("  " + error, file=sys.stderr)
    if args.remove_on_failure and os.path.exists(args.library):
        os.remove(args.library)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

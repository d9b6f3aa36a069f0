#!/usr/bin/env python3
"""Checks the string table sources in content/strings/ against the rules the
program relies on.

- every file parses as the packer reads it (<id><TAB><text>, '#' comments,
  the escapes \\n \\t \\\\), and no id appears twice in one table;
- English and Polish hold the same ids, and none of them is also in the
  common or setup table (a language text would silently hide it);
- every format text takes exactly the arguments its caller passes, in the
  same order, in both languages;
- texts a user reads hold no stray '%' directive unless they are formats;
- every key name that the default key table names exists in both languages;
- common.txt ends with the layout library section.

Usage: tools/check_strings.py [repository root]. Prints the problems found
and exits with 1 when there is any.
"""

import os
import re
import sys

TABLES = ("common", "setup", "en", "pl")
LAYOUT_SECTION = "# ---- layout library texts ----"

# Arguments each format text receives, in order: 'n' a number (d i u x X o y),
# 's' a wide text (s S).
FORMATS = {
    2: "ss",     # associated program's path, argument text
    12: "ns",    # user's default language id, active keyboard layout name
    48: "s",     # layout's display name
    49: "s",     # path of the regional-settings file
    62: "nss",   # language id, layout identifier, default attribute
    63: "snssnn",  # user, language id, layout identifier, default attribute, language id, language id
    65: "ss",    # two empty texts
    66: "s",     # one empty text
    69: "ss",    # product folder, try-it page file name
    97: "s",     # layout's display name
    101: "s",    # layout's display name
    102: "s",    # "<language name> - <layout's display name>"
    129: "s",    # product name
    134: "s",    # layout's display name
    141: "s",    # layout's display name
    340: "s",    # setup copy's path
}

NUMBER_CONVERSIONS = set("diuxXoy")
TEXT_CONVERSIONS = set("sS")
ALL_CONVERSIONS = set("diuxXoypPcCsSzZbBwWnNfeEgGaAFIUTtY")
FLAGS = set("-+ 0#$`")


def unescape(raw):
    out = []
    i = 0
    while i < len(raw):
        ch = raw[i]
        if ch != "\\":
            out.append(ch)
            i += 1
            continue
        if i + 1 >= len(raw):
            return None, "a backslash ends the text"
        nxt = raw[i + 1]
        if nxt == "n":
            out.append("\n")
        elif nxt == "t":
            out.append("\t")
        elif nxt == "\\":
            out.append("\\")
        else:
            return None, "unknown escape \\" + nxt
        i += 2
    return "".join(out), None


def parse_table(path, problems):
    """Returns {id: (line, text)} and the file's raw lines."""
    entries = {}
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        problems.append("%s: not UTF-8 (%s)" % (path, e))
        return entries, []
    lines = text.split("\n")
    for number, line in enumerate(lines, 1):
        if line.endswith("\r"):
            line = line[:-1]
        if not line.strip(" \t") or line.startswith("#"):
            continue
        where = "%s:%d: " % (path, number)
        if "\t" not in line:
            problems.append(where + "expected <id><TAB><text>")
            continue
        digits, raw = line.split("\t", 1)
        if not digits.isdigit() or len(digits) > 10 or int(digits) > 0xFFFFFFFF:
            problems.append(where + "the id %r is not a decimal number below 2^32" % digits)
            continue
        value, message = unescape(raw)
        if value is None:
            problems.append(where + message)
            continue
        if any(0xD800 <= ord(c) <= 0xDFFF or ord(c) > 0xFFFF for c in value):
            problems.append(where + "a character outside the BMP cannot be read back as 8-bit text")
        sid = int(digits)
        if sid in entries:
            problems.append(where + "id %d is already defined on line %d" % (sid, entries[sid][0]))
            continue
        entries[sid] = (number, value)
    return entries, lines


def directives(text):
    """The argument kinds the formatter reads for text, or None when a
    directive is one the program's callers never pass."""
    kinds = []
    i = 0
    while i < len(text):
        if text[i] != "%":
            i += 1
            continue
        i += 1
        if i >= len(text):
            break
        if text[i] == "%":
            i += 1
            continue
        while i < len(text) and text[i] in FLAGS:
            i += 1
        if i < len(text) and text[i] == "*":
            kinds.append("n")
            i += 1
        else:
            count = 0
            while i < len(text) and text[i].isdigit() and count < 10:
                i += 1
                count += 1
        if i < len(text) and text[i] == ".":
            i += 1
            if i < len(text) and text[i] == "*":
                kinds.append("n")
                i += 1
            else:
                count = 0
                while i < len(text) and text[i].isdigit() and count < 10:
                    i += 1
                    count += 1
        if text.startswith("ll", i):
            i += 2
        elif i < len(text) and text[i] in "hlL":
            i += 1
        if i >= len(text):
            break
        conversion = text[i]
        i += 1
        if conversion in NUMBER_CONVERSIONS:
            kinds.append("n")
        elif conversion in TEXT_CONVERSIONS:
            kinds.append("s")
        elif conversion == "N":
            pass
        elif conversion in ALL_CONVERSIONS:
            kinds.append("?" + conversion)
        # any other character is literal text after a dropped directive
    return "".join(kinds)


def key_table_names(path):
    """Name ids of install/KeyTable.cpp's records."""
    if not os.path.exists(path):
        return None
    names = set()
    record = re.compile(r"\{\s*0x[0-9A-Fa-f]+\s*,\s*0x[0-9A-Fa-f]+\s*,\s*(\d+)\s*,\s*0x[0-9A-Fa-f]+\s*\}")
    with open(path, encoding="utf-8") as f:
        for match in record.finditer(f.read()):
            if int(match.group(1)):
                names.add(int(match.group(1)))
    return names


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    folder = os.path.join(root, "content", "strings")
    problems = []
    tables = {}
    raw_lines = {}
    for name in TABLES:
        path = os.path.join(folder, name + ".txt")
        if not os.path.exists(path):
            problems.append("%s: missing" % path)
            tables[name] = {}
            continue
        tables[name], raw_lines[name] = parse_table(path, problems)
        if not tables[name]:
            problems.append("%s: a string table needs at least one string" % path)

    en, pl = tables["en"], tables["pl"]
    for sid in sorted(set(en) ^ set(pl)):
        problems.append("id %d is in %s only" % (sid, "en.txt" if sid in en else "pl.txt"))
    for sid in sorted(set(tables["common"]) & set(tables["setup"])):
        problems.append("id %d is in both common.txt and setup.txt" % sid)
    for sid in sorted((set(en) | set(pl)) & (set(tables["common"]) | set(tables["setup"]))):
        problems.append("id %d is in a language table and in common.txt or setup.txt" % sid)

    for name in TABLES:
        for sid, (line, text) in sorted(tables[name].items()):
            found = directives(text)
            where = "%s.txt:%d: id %d" % (name, line, sid)
            if sid in FORMATS:
                if found != FORMATS[sid]:
                    problems.append("%s: the format reads %r, its caller passes %r"
                                    % (where, found, FORMATS[sid]))
            elif name in ("en", "pl") and found:
                problems.append("%s: a text that is not formatted holds directives %r" % (where, found))

    names = key_table_names(os.path.join(root, "install", "KeyTable.cpp"))
    if names is None:
        problems.append("install/KeyTable.cpp: missing")
    else:
        for sid in sorted(names):
            for lang in ("en", "pl"):
                if sid not in tables[lang]:
                    problems.append("key name %d is missing from %s.txt" % (sid, lang))

    common = [l.rstrip("\r") for l in raw_lines.get("common", [])]
    if LAYOUT_SECTION not in common:
        problems.append("common.txt: the line %r is missing" % LAYOUT_SECTION)

    for problem in problems:
        print(problem)
    if not problems:
        counts = ", ".join("%s %d" % (n, len(tables[n])) for n in TABLES)
        print("string tables fine: " + counts)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Turns the layout definition (layouts/klawisz.layout) into the sources of
the keyboard layout libraries, one per family and set, and into the pattern
texts that locate the tables the installer patches.

    gen_layout.py LAYOUT --out-dir DIR     writes DIR/kbd_s<set>_f<family>.c
    gen_layout.py LAYOUT --patterns        prints the pattern string lines

Other build tools import load_layout() and build_tables() to read the same
definition (the documents, the library checks).
"""

import argparse
import os
import struct
import sys

FAMILIES = (0, 1, 2)
FAMILY_NAMES = ("QWERTY", "QWERTZ", "Dvorak")
SETS = (0, 1)
SET_NAMES = ("normal set", "alternative set")

STATES = ("base", "shift", "ctrl", "shift+ctrl", "altgr", "shift+altgr")
NUMPAD_STATES = ("base", "shift")
# Shift-state column for each combination of Shift (1), Ctrl (2), Alt (4);
# 0x0F marks a combination that types nothing (Alt alone, Alt+Shift).
MOD_NUMBER = (0, 1, 2, 3, 0x0F, 0x0F, 4, 5)
MOD_BITS = ((0x10, 0x01), (0x11, 0x02), (0x12, 0x04))

SCANCODE_TABLE_SIZE = 0x7F
VK_NONE = 0xFF
CELL_NONE = 0xF000
CELL_DEAD = 0xF001
ATTR_CAPS = 0x01
ATTR_CAPS_ALTGR = 0x04
CAPS_ATTRIBUTES = {"-": 0, "caps": ATTR_CAPS, "caps+altgr": ATTR_CAPS | ATTR_CAPS_ALTGR}
VK_FLAGS = {"EXT": 0x100, "SPECIAL": 0x400, "NUMPAD": 0x800}

# Pattern string ids: the decimal key, the scancode table of each family,
# the E0 and E1 tables.
PATTERN_DECIMAL = 146
PATTERN_SCANCODES = (147, 148, 149)
PATTERN_E0 = 150
PATTERN_E1 = 151

VK_NAMES = {
    "CANCEL": 0x03, "BACK": 0x08, "TAB": 0x09, "CLEAR": 0x0C, "RETURN": 0x0D,
    "PAUSE": 0x13, "CAPITAL": 0x14, "ESCAPE": 0x1B, "SPACE": 0x20,
    "PRIOR": 0x21, "NEXT": 0x22, "END": 0x23, "HOME": 0x24, "LEFT": 0x25,
    "UP": 0x26, "RIGHT": 0x27, "DOWN": 0x28, "SNAPSHOT": 0x2C,
    "INSERT": 0x2D, "DELETE": 0x2E, "HELP": 0x2F,
    "LWIN": 0x5B, "RWIN": 0x5C, "APPS": 0x5D, "SLEEP": 0x5F,
    "MULTIPLY": 0x6A, "ADD": 0x6B, "SEPARATOR": 0x6C, "SUBTRACT": 0x6D,
    "DECIMAL": 0x6E, "DIVIDE": 0x6F, "NUMLOCK": 0x90, "SCROLL": 0x91,
    "LSHIFT": 0xA0, "RSHIFT": 0xA1, "LCONTROL": 0xA2, "RCONTROL": 0xA3,
    "LMENU": 0xA4, "RMENU": 0xA5,
    "BROWSER_BACK": 0xA6, "BROWSER_FORWARD": 0xA7, "BROWSER_REFRESH": 0xA8,
    "BROWSER_STOP": 0xA9, "BROWSER_SEARCH": 0xAA, "BROWSER_FAVORITES": 0xAB,
    "BROWSER_HOME": 0xAC, "VOLUME_MUTE": 0xAD, "VOLUME_DOWN": 0xAE,
    "VOLUME_UP": 0xAF, "MEDIA_NEXT_TRACK": 0xB0, "MEDIA_PREV_TRACK": 0xB1,
    "MEDIA_STOP": 0xB2, "MEDIA_PLAY_PAUSE": 0xB3, "LAUNCH_MAIL": 0xB4,
    "LAUNCH_MEDIA_SELECT": 0xB5, "LAUNCH_APP1": 0xB6, "LAUNCH_APP2": 0xB7,
    "OEM_1": 0xBA, "OEM_PLUS": 0xBB, "OEM_COMMA": 0xBC, "OEM_MINUS": 0xBD,
    "OEM_PERIOD": 0xBE, "OEM_2": 0xBF, "OEM_3": 0xC0, "ABNT_C1": 0xC1,
    "ABNT_C2": 0xC2, "OEM_4": 0xDB, "OEM_5": 0xDC, "OEM_6": 0xDD,
    "OEM_7": 0xDE, "OEM_8": 0xDF, "OEM_102": 0xE2, "OEM_PA1": 0xEB,
}
VK_NAMES.update({chr(c): c for c in range(ord("0"), ord("9") + 1)})
VK_NAMES.update({chr(c): c for c in range(ord("A"), ord("Z") + 1)})
VK_NAMES.update({"NUMPAD%d" % n: 0x60 + n for n in range(10)})
VK_NAMES.update({"F%d" % n: 0x6F + n for n in range(1, 25)})


class LayoutError(Exception):
    pass


class Layout:
    def __init__(self):
        self.name = ""
        self.file = ""
        self.scancodes = []   # (scancode, [vk per family], name or None)
        self.characters = []  # (vk, attributes, [cell per STATES])
        self.numpad = []      # (vk, [cell per NUMPAD_STATES])
        self.alternative = [] # (vk, state index, dead character)
        self.dead = {}        # dead character -> (name, [(base, composed)])


def _fail(path, line, message):
    raise LayoutError("%s:%d: %s" % (path, line, message))


def parse_vk(text, family0=None):
    """Virtual key text -> 16-bit value with flags, or None for '='."""
    if text == "=":
        return family0
    if text == "none":
        return VK_NONE
    parts = text.split("|")
    base = parts[0]
    if base in VK_NAMES:
        value = VK_NAMES[base]
    elif base.startswith("0x"):
        value = int(base, 16)
        if not 0 < value < 0xFF:
            raise ValueError("virtual key out of range: " + base)
    else:
        raise ValueError("unknown virtual key: " + base)
    for flag in parts[1:]:
        if flag not in VK_FLAGS:
            raise ValueError("unknown virtual key flag: " + flag)
        value |= VK_FLAGS[flag]
    return value


def parse_cell(text):
    """Character text -> code unit (None for '-')."""
    if text == "-":
        return None
    if text.startswith("U+") and len(text) > 2:
        value = int(text[2:], 16)
    elif len(text) == 1:
        value = ord(text)
    else:
        raise ValueError("not one character: " + text)
    if value > 0xFFFF or 0xD800 <= value <= 0xDFFF or value >= 0xF000 and value <= 0xF0FF:
        raise ValueError("character outside the usable range: " + text)
    return value


def load_layout(path):
    layout = Layout()
    section = None
    dead_char = None
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, raw in enumerate(lines, 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            words = line[1:-1].split()
            section = words[0] if words else ""
            if section == "dead":
                if len(words) < 3:
                    _fail(path, number, "a dead key section needs the character and a name")
                try:
                    dead_char = parse_cell(words[1])
                except ValueError as e:
                    _fail(path, number, str(e))
                if dead_char in layout.dead:
                    _fail(path, number, "dead key defined twice")
                layout.dead[dead_char] = (" ".join(words[2:]), [])
            elif section not in ("layout", "scancodes", "characters", "numpad", "alternative"):
                _fail(path, number, "unknown section: " + line)
            continue
        words = line.split()
        try:
            if section == "layout":
                key, _, value = line.partition(" ")
                if key == "name":
                    layout.name = value.strip()
                elif key == "file":
                    layout.file = value.strip()
                else:
                    _fail(path, number, "unknown layout field: " + key)
            elif section == "scancodes":
                if len(words) < 5:
                    _fail(path, number, "expected scancode, three virtual keys and a name")
                scancode = int(words[0], 16)
                prefix = scancode >> 8
                if prefix not in (0, 0xE0, 0xE1) or (prefix == 0 and scancode >= SCANCODE_TABLE_SIZE) \
                        or (scancode & 0xFF) == 0:
                    _fail(path, number, "scancode outside the tables: " + words[0])
                vk0 = parse_vk(words[1])
                vks = [vk0, parse_vk(words[2], vk0), parse_vk(words[3], vk0)]
                name = " ".join(words[4:])
                layout.scancodes.append((scancode, vks, None if name == "-" else name))
            elif section == "characters":
                if len(words) != 2 + len(STATES):
                    _fail(path, number, "expected a virtual key, caps and %d cells" % len(STATES))
                if words[1] not in CAPS_ATTRIBUTES:
                    _fail(path, number, "unknown caps attribute: " + words[1])
                layout.characters.append(
                    (parse_vk(words[0]), CAPS_ATTRIBUTES[words[1]], [parse_cell(w) for w in words[2:]]))
            elif section == "numpad":
                if len(words) != 1 + len(NUMPAD_STATES):
                    _fail(path, number, "expected a virtual key and %d cells" % len(NUMPAD_STATES))
                layout.numpad.append((parse_vk(words[0]), [parse_cell(w) for w in words[1:]]))
            elif section == "alternative":
                if len(words) != 4 or words[2] != "dead":
                    _fail(path, number, "expected: vk state dead X")
                if words[1] not in STATES:
                    _fail(path, number, "unknown state: " + words[1])
                layout.alternative.append((parse_vk(words[0]), STATES.index(words[1]), parse_cell(words[3])))
            elif section == "dead":
                if len(words) != 2:
                    _fail(path, number, "expected a base and a composed character")
                layout.dead[dead_char][1].append((parse_cell(words[0]), parse_cell(words[1])))
            else:
                _fail(path, number, "line outside a section")
        except ValueError as e:
            _fail(path, number, str(e))
    _validate(path, layout)
    return layout


def _validate(path, layout):
    def check(condition, message):
        if not condition:
            raise LayoutError("%s: %s" % (path, message))

    check(layout.name and layout.file, "the layout needs a name and a file")
    scancodes = [s for s, _, _ in layout.scancodes]
    check(len(set(scancodes)) == len(scancodes), "a scancode is listed twice")
    vks = [vk for vk, _, _ in layout.characters] + [vk for vk, _ in layout.numpad]
    check(len(set(vks)) == len(vks), "a virtual key has characters twice")
    check(any(vk == VK_NAMES["DECIMAL"] for vk, _ in layout.numpad), "the numpad lacks the decimal key")
    check(all(vk < 0x100 for vk in vks), "character rows take plain virtual keys")
    rows = {vk: cells for vk, _, cells in layout.characters}
    for vk, state, dead in layout.alternative:
        check(vk in rows, "alternative cell on a key without characters: 0x%02X" % vk)
        check(dead in layout.dead, "alternative cell names an undefined dead key U+%04X" % dead)
    for dead, (_, pairs) in layout.dead.items():
        bases = [b for b, _ in pairs]
        check(len(set(bases)) == len(bases), "dead key U+%04X composes a base twice" % dead)
        check(None not in bases and all(c is not None for _, c in pairs), "dead key rows need characters")


class Tables:
    """The library contents of one family and set, as plain numbers."""

    def __init__(self):
        self.vsc_to_vk = []   # SCANCODE_TABLE_SIZE virtual keys
        self.e0 = []          # (scancode byte, vk)
        self.e1 = []
        self.chars6 = []      # (vk, attributes, [6 cells]) including dead follow-up rows
        self.chars2 = []      # (vk, attributes, [2 cells])
        self.dead_keys = []   # (base, dead, composed)
        self.dead_names = []  # (dead character, name)
        self.key_names = []   # (scancode byte, name)
        self.key_names_ext = []


def build_tables(layout, family, alt_set):
    tables = Tables()
    tables.vsc_to_vk = [VK_NONE] * SCANCODE_TABLE_SIZE
    for scancode, vks, name in layout.scancodes:
        vk = vks[family]
        prefix, low = scancode >> 8, scancode & 0xFF
        if prefix == 0:
            tables.vsc_to_vk[scancode] = vk
            if name:
                tables.key_names.append((low, name))
        elif prefix == 0xE0:
            tables.e0.append((low, vk))
            if name:
                tables.key_names_ext.append((low, name))
        else:
            tables.e1.append((low, vk))

    dead_cells = {}
    if alt_set:
        for vk, state, dead in layout.alternative:
            dead_cells.setdefault(vk, {})[state] = dead
    used_dead = []
    for vk, attributes, cells in layout.characters:
        row = [CELL_NONE if c is None else c for c in cells]
        follow = None
        for state, dead in sorted(dead_cells.get(vk, {}).items()):
            row[state] = CELL_DEAD
            if follow is None:
                follow = [CELL_NONE] * len(STATES)
            follow[state] = dead
            if dead not in used_dead:
                used_dead.append(dead)
        tables.chars6.append((vk, attributes, row))
        if follow is not None:
            # A dead cell's character sits in the row that follows it.
            tables.chars6.append((VK_NONE, 0, follow))
    for vk, cells in layout.numpad:
        tables.chars2.append((vk, 0, [CELL_NONE if c is None else c for c in cells]))
    for dead in used_dead:
        name, pairs = layout.dead[dead]
        for base, composed in pairs:
            tables.dead_keys.append((base, dead, composed))
        tables.dead_names.append((dead, name))
    return tables


# ---- Byte images of the patched tables (the pattern texts) ----

def vsc_bytes(tables):
    return struct.pack("<%dH" % len(tables.vsc_to_vk), *tables.vsc_to_vk)


def vsc_vk_bytes(records):
    data = b"".join(struct.pack("<BBH", sc, 0, vk) for sc, vk in records)
    return data + struct.pack("<BBH", 0, 0, 0)


def decimal_bytes(tables):
    """From the decimal key's first character cell to the end of its table."""
    data = b""
    start = None
    for vk, attributes, cells in tables.chars2:
        if vk == VK_NAMES["DECIMAL"]:
            start = len(data) + 2
        data += struct.pack("<BB%dH" % len(cells), vk, attributes, *cells)
    data += struct.pack("<BB%dH" % len(NUMPAD_STATES), 0, 0, *([0] * len(NUMPAD_STATES)))
    return data[start:]


def pattern_bytes(layout):
    """String id -> the bytes that string's pattern must hold."""
    patterns = {}
    reference = build_tables(layout, 0, 0)
    for family in FAMILIES:
        patterns[PATTERN_SCANCODES[family]] = vsc_bytes(build_tables(layout, family, 0))
    patterns[PATTERN_E0] = vsc_vk_bytes(reference.e0)
    patterns[PATTERN_E1] = vsc_vk_bytes(reference.e1)
    patterns[PATTERN_DECIMAL] = decimal_bytes(reference)
    # Every set and family must share the pointer-free tables the patterns name.
    for family in FAMILIES:
        for alt_set in SETS:
            t = build_tables(layout, family, alt_set)
            assert vsc_bytes(t) == patterns[PATTERN_SCANCODES[family]]
            assert vsc_vk_bytes(t.e0) == patterns[PATTERN_E0]
            assert vsc_vk_bytes(t.e1) == patterns[PATTERN_E1]
            assert decimal_bytes(t) == patterns[PATTERN_DECIMAL]
    return patterns


def hex_text(data):
    return data.hex().upper()


# ---- C source ----

def _c_string(text):
    out = []
    for ch in text:
        if ch.isascii() and ch.isprintable() and ch not in "\\\"":
            out.append(ch)
        else:
            out.append("\\x%04X\" L\"" % ord(ch))
    return 'L"%s"' % "".join(out)


def _cells(cells):
    return ", ".join("KBD_NONE" if c == CELL_NONE else "KBD_DEAD" if c == CELL_DEAD else "0x%04X" % c
                     for c in cells)


def _attributes(value):
    names = []
    if value & ATTR_CAPS:
        names.append("KBD_CAPS")
    if value & ATTR_CAPS_ALTGR:
        names.append("KBD_CAPS_ALTGR")
    return " | ".join(names) if names else "0"


def _pointer_tables(out, tables, form, wrap):
    """The tables holding pointers, for one pointer form ('' or 'Wide')."""
    out.append("static const KbdModifiers%s g_modifiers%s = {" % (form, form))
    out.append("    %s, 0x%02X, {%s}" % (wrap("g_vkToBit"), len(MOD_NUMBER) - 1,
                                         ", ".join("0x%02X" % n for n in MOD_NUMBER)))
    out.append("};")
    out.append("")
    out.append("static const KbdCharTable%s g_charTables%s[] = {" % (form, form))
    out.append("    {%s, %d, sizeof(KbdVkToWchars6)}," % (wrap("g_chars6"), len(STATES)))
    out.append("    {%s, %d, sizeof(KbdVkToWchars2)}," % (wrap("g_chars2"), len(NUMPAD_STATES)))
    out.append("    {%s, 0, 0}," % wrap("0"))
    out.append("};")
    out.append("")
    for label, names in (("KeyNames", tables.key_names), ("KeyNamesExt", tables.key_names_ext)):
        out.append("static const KbdKeyName%s g_%s%s[] = {" % (form, label[0].lower() + label[1:], form))
        for scancode, name in names:
            out.append("    {0x%02X, %s}," % (scancode, wrap(_c_string(name))))
        out.append("    {0, %s}," % wrap("0"))
        out.append("};")
        out.append("")
    if tables.dead_names:
        out.append("static const %s g_keyNamesDead%s[] = {" % ("KbdNativePtr" if not form else "KbdWidePtr", form))
        for dead, name in tables.dead_names:
            out.append("    %s," % wrap(_c_string(chr(dead) + name)))
        out.append("    %s," % wrap("0"))
        out.append("};")
        out.append("")
    dead = "g_deadKeys" if tables.dead_keys else "0"
    dead_names = "g_keyNamesDead" + form if tables.dead_names else "0"
    out.append("const KbdTables%s g_tables%s = {" % (form, form))
    out.append("    %s," % wrap("&g_modifiers" + form))
    out.append("    %s," % wrap("g_charTables" + form))
    out.append("    %s," % wrap(dead))
    out.append("    %s," % wrap("g_keyNames" + form))
    out.append("    %s," % wrap("g_keyNamesExt" + form))
    out.append("    %s," % wrap(dead_names))
    out.append("    %s," % wrap("g_vscToVk"))
    out.append("    0x%02X," % SCANCODE_TABLE_SIZE)
    out.append("    %s," % wrap("g_vscToVkE0"))
    out.append("    %s," % wrap("g_vscToVkE1"))
    out.append("    KBD_LOCALE_FLAGS,")
    out.append("    0,")
    out.append("    0,")
    out.append("    %s," % wrap("0"))
    out.append("    KBD_TYPE_ENHANCED,")
    out.append("    0,")
    out.append("};")
    out.append("")


def c_source(layout, family, alt_set, definition_name):
    tables = build_tables(layout, family, alt_set)
    out = []
    out.append("// Generated by tools/gen_layout.py from %s; do not edit." % definition_name)
    out.append("// %s: family %d (%s), %s." % (layout.name, family, FAMILY_NAMES[family], SET_NAMES[alt_set]))
    out.append("")
    out.append('#include "LayoutFormat.h"')
    out.append("")
    out.append("static const u16 g_vscToVk[0x%02X] = {" % SCANCODE_TABLE_SIZE)
    for row in range(0, SCANCODE_TABLE_SIZE, 8):
        values = tables.vsc_to_vk[row:row + 8]
        out.append("    /* %02X */ %s," % (row, ", ".join("0x%04X" % v for v in values)))
    out.append("};")
    out.append("")
    for label, records in (("E0", tables.e0), ("E1", tables.e1)):
        out.append("static const KbdVscVk g_vscToVk%s[] = {" % label)
        for scancode, vk in records:
            out.append("    {0x%02X, 0, 0x%04X}," % (scancode, vk))
        out.append("    {0, 0, 0},")
        out.append("};")
        out.append("")
    out.append("static const KbdVkToBit g_vkToBit[] = {")
    for vk, bits in MOD_BITS:
        out.append("    {0x%02X, 0x%02X}," % (vk, bits))
    out.append("    {0, 0},")
    out.append("};")
    out.append("")
    out.append("// Columns: %s." % ", ".join(STATES))
    out.append("static const KbdVkToWchars6 g_chars6[] = {")
    for vk, attributes, cells in tables.chars6:
        out.append("    {0x%02X, %s, {%s}}," % (vk, _attributes(attributes), _cells(cells)))
    out.append("    {0, 0, {0}},")
    out.append("};")
    out.append("")
    out.append("// Columns: %s." % ", ".join(NUMPAD_STATES))
    out.append("static const KbdVkToWchars2 g_chars2[] = {")
    for vk, attributes, cells in tables.chars2:
        out.append("    {0x%02X, %s, {%s}}," % (vk, _attributes(attributes), _cells(cells)))
    out.append("    {0, 0, {0}},")
    out.append("};")
    out.append("")
    if tables.dead_keys:
        out.append("static const KbdDeadKey g_deadKeys[] = {")
        for base, dead, composed in tables.dead_keys:
            out.append("    {0x%04X%04Xu, 0x%04X, 0}," % (dead, base, composed))
        out.append("    {0, 0, 0},")
        out.append("};")
        out.append("")
    _pointer_tables(out, tables, "", lambda x: x)
    out.append("#if defined(__i386__)")
    out.append("")
    _pointer_tables(out, tables, "Wide", lambda x: "{%s}" % x)
    out.append("#endif")
    return "\n".join(out) + "\n"


def source_name(alt_set, family):
    return "kbd_s%d_f%d.c" % (alt_set, family)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("layout")
    parser.add_argument("--out-dir")
    parser.add_argument("--patterns", action="store_true")
    args = parser.parse_args(argv)
    try:
        layout = load_layout(args.layout)
    except LayoutError as e:
        print("gen_layout: %s" % e, file=sys.stderr)
        return 1
    if args.out_dir:
        os.makedirs(args.out_dir, exist_ok=True)
        for alt_set in SETS:
            for family in FAMILIES:
                text = c_source(layout, family, alt_set, "layouts/" + os.path.basename(args.layout))
                with open(os.path.join(args.out_dir, source_name(alt_set, family)), "w", encoding="utf-8") as f:
                    f.write(text)
    if args.patterns:
        for string_id, data in sorted(pattern_bytes(layout).items()):
            print("%d\t%s" % (string_id, hex_text(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Writes the item catalogue source (Catalogue.cpp) that the program is
built with: every payload item as a pair of constants, its stored size and
its bytes, and the role tables of payload/Catalogue.h that refer to them.

Items come packed already (string tables, licences, install items), except
the layout libraries: their list names plain library files, which are
packed here with the packer, each distinct library once, so that cells
holding identical bytes share one item.

A role whose input is absent gets an empty entry (null bytes, size 0). The
output is rewritten only when its text changes.

The layout list has one line per cell:
    <set 0|1> <family 0..2> <variant 0..12> <absolute path or ->
"""

import argparse
import hashlib
import os
import subprocess
import sys

STRING_ROLES = ["common", "setup", "lang0", "lang1"]
LAYOUT_SETS = 2
LAYOUT_FAMILIES = 3
LAYOUT_VARIANTS = 13
KEY_BLOCK_SIZE = 968


class CatalogueError(Exception):
    pass


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def optional_item(path):
    """The packed bytes at path, or None for an absent input."""
    if not path or path == "-" or not os.path.exists(path):
        return None
    data = read_bytes(path)
    if len(data) == 0 or len(data) % 8 != 0:
        raise CatalogueError(f"{path}: a packed item is a non-empty multiple of 8 bytes, not {len(data)}")
    return data


def read_layout_list(path):
    """{(set, family, variant): library path}, empty when the list is absent."""
    cells = {}
    if not path or not os.path.exists(path):
        return cells
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split(None, 3)
            where = f"{path}:{number}"
            if len(parts) != 4:
                raise CatalogueError(f"{where}: expected <set> <family> <variant> <path or ->")
            try:
                cell = tuple(int(p) for p in parts[:3])
            except ValueError:
                raise CatalogueError(f"{where}: set, family and variant must be numbers")
            s, fam, var = cell
            if not (0 <= s < LAYOUT_SETS and 0 <= fam < LAYOUT_FAMILIES and 0 <= var < LAYOUT_VARIANTS):
                raise CatalogueError(f"{where}: cell {s} {fam} {var} is outside 2 x 3 x 13")
            if cell in cells:
                raise CatalogueError(f"{where}: cell {s} {fam} {var} is listed twice")
            library = parts[3].strip()
            if library != "-" and not os.path.isfile(library):
                raise CatalogueError(f"{where}: no library at {library}")
            cells[cell] = None if library == "-" else library
    return cells


def pack_layouts(cells, packer, key, work):
    """{cell: packed bytes}; identical libraries are packed once."""
    os.makedirs(work, exist_ok=True)
    packed_by_hash = {}
    result = {}
    for cell in sorted(cells):
        library = cells[cell]
        if library is None:
            continue
        digest = hashlib.sha256(read_bytes(library)).hexdigest()
        if digest not in packed_by_hash:
            out = os.path.join(work, f"layout-{digest[:16]}.item")
            run = subprocess.run([packer, "item", "--key", key, library, out],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            if run.returncode != 0:
                raise CatalogueError(f"packing {library} failed: {run.stdout.strip()}")
            packed_by_hash[digest] = read_bytes(out)
        result[cell] = packed_by_hash[digest]
    return result


class Emitter:
    def __init__(self):
        self.items = []        # (name, bytes) in emission order
        self.by_content = {}   # bytes -> name, so equal items are emitted once

    def add(self, data):
        if data is None:
            return None
        name = self.by_content.get(data)
        if name is None:
            name = f"kItem{len(self.items)}"
            self.items.append((name, data))
            self.by_content[data] = name
        return name

    @staticmethod
    def entry(name):
        return f"{{ {name}, {name}Size }}" if name else "{ 0, 0 }"


def byte_lines(data, per_line=16):
    for i in range(0, len(data), per_line):
        yield "    " + ", ".join(f"0x{b:02X}" for b in data[i:i + per_line]) + ","


def render(key_block, strings, licences, layouts, installs):
    em = Emitter()
    string_names = [em.add(d) for d in strings]
    licence_names = [em.add(d) for d in licences]
    layout_names = {cell: em.add(d) for cell, d in sorted(layouts.items())}
    install_names = [em.add(d) for d in installs]

    out = [
        "// The item catalogue, generated at build time by tools/catalogue.py from",
        "// content/ and the layout libraries. A build product: never edited.",
        "",
        '#include "payload/Catalogue.h"',
        "",
        "namespace",
        "{",
    ]
    for name, data in em.items:
        out.append(f"const u32 {name}Size = {len(data)};")
        out.append(f"alignas(8) const u8 {name}[{len(data)}] = {{")
        out.extend(byte_lines(data))
        out.append("};")
        out.append("")
    out.append("}")
    out.append("")
    out.append(f"const u8 g_keyBlock[{len(key_block)}] = {{")
    out.extend(byte_lines(key_block))
    out.append("};")
    out.append(f"const u32 g_keyBlockSize = {len(key_block)};")
    out.append("")
    out.append("const PayloadItem g_stringTableItems[kStringTableCount] = {")
    for role, name in zip(STRING_ROLES, string_names):
        out.append(f"    {Emitter.entry(name)}, // {role}")
    out.append("};")
    out.append("")
    out.append("const PayloadItem g_licenceItems[kLicenceCount] = {")
    for language, name in enumerate(licence_names):
        out.append(f"    {Emitter.entry(name)}, // interface language {language}")
    out.append("};")
    out.append("")
    out.append("const PayloadItem g_layoutItems[kLayoutSetCount][kLayoutFamilyCount][kLayoutVariantCount] = {")
    for s in range(LAYOUT_SETS):
        out.append(f"    {{ // set {s}")
        for fam in range(LAYOUT_FAMILIES):
            out.append(f"        {{ // family {fam}")
            for var in range(LAYOUT_VARIANTS):
                out.append(f"            {Emitter.entry(layout_names.get((s, fam, var)))}, // variant {var}")
            out.append("        },")
        out.append("    },")
    out.append("};")
    out.append("")
    for label, name in zip(["g_mainDocumentItem", "g_extraDocumentItem", "g_targetFileItem"], install_names):
        out.append(f"const PayloadItem {label} = {Emitter.entry(name)};")
    out.append("")
    return "\n".join(out)


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8", newline="\n") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.replace(temporary, path)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--out", required=True)
    p.add_argument("--key", required=True, help="the 968-byte key block")
    p.add_argument("--packer", help="the packer program (needed for layout libraries)")
    p.add_argument("--work", help="folder for the packed layout libraries")
    for role in STRING_ROLES:
        p.add_argument(f"--strings-{role}", help=f"packed {role} string table")
    p.add_argument("--licence0", help="packed licence text of interface language 0")
    p.add_argument("--licence1", help="packed licence text of interface language 1")
    p.add_argument("--layouts", help="the layout library list")
    p.add_argument("--main-document", help="packed main document")
    p.add_argument("--extra-document", help="packed extra document")
    p.add_argument("--target-file", help="packed target file")
    a = p.parse_args()

    try:
        key_block = read_bytes(a.key)
        if len(key_block) != KEY_BLOCK_SIZE:
            raise CatalogueError(f"{a.key}: a key block is {KEY_BLOCK_SIZE} bytes, not {len(key_block)}")
        strings = [optional_item(getattr(a, f"strings_{role}")) for role in STRING_ROLES]
        licences = [optional_item(a.licence0), optional_item(a.licence1)]
        installs = [optional_item(a.main_document), optional_item(a.extra_document), optional_item(a.target_file)]
        cells = read_layout_list(a.layouts)
        layouts = {}
        if any(path for path in cells.values()):
            if not a.packer or not a.work:
                raise CatalogueError("layout libraries need --packer and --work")
            layouts = pack_layouts(cells, a.packer, a.key, a.work)
        write_if_changed(a.out, render(key_block, strings, licences, layouts, installs))
    except (CatalogueError, OSError) as e:
        print(f"catalogue: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

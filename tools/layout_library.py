"""Reads a built keyboard layout library as the system would: the PE image,
its relocations, and the tables that KbdLayerDescriptor returns (found
through the linker map, since the library keeps no symbols). Shared by the
build check (check_layout.py) and the library tests.
"""

import re
import struct

MACHINE_I386 = 0x014C
MACHINE_AMD64 = 0x8664
RELOC_HIGHLOW = 3
RELOC_DIR64 = 10


class LibraryError(Exception):
    pass


class PeImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        self.path = path
        data = self.data
        if data[:2] != b"MZ":
            raise LibraryError("%s: not an executable image" % path)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise LibraryError("%s: no PE header" % path)
        self.machine, section_count = struct.unpack_from("<HH", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.is64 = magic == 0x20B
        if self.is64:
            self.image_base = struct.unpack_from("<Q", data, optional + 24)[0]
            directories = optional + 112
        else:
            self.image_base = struct.unpack_from("<I", data, optional + 28)[0]
            directories = optional + 96
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            name, vsize, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii"), rva, max(vsize, raw_size), raw_offset, raw_size))
        self.relocations = self._read_relocations()

    def rva_to_offset(self, rva, size=1):
        for _, start, vsize, raw_offset, raw_size in self.sections:
            if start <= rva and rva + size <= start + min(vsize, raw_size):
                return raw_offset + rva - start
        raise LibraryError("%s: address 0x%X lies outside the file's sections" % (self.path, rva))

    def va_to_offset(self, va, size=1):
        return self.rva_to_offset(va - self.image_base, size)

    def offset_to_rva(self, offset):
        for _, start, _, raw_offset, raw_size in self.sections:
            if raw_offset <= offset < raw_offset + raw_size:
                return start + offset - raw_offset
        raise LibraryError("%s: file offset 0x%X lies outside the sections" % (self.path, offset))

    def _read_relocations(self):
        rva, size = self.directories[5]
        relocations = {}
        if not rva:
            return relocations
        offset = self.rva_to_offset(rva, size)
        end = offset + size
        while offset + 8 <= end:
            page, block = struct.unpack_from("<II", self.data, offset)
            if block < 8:
                break
            for i in range((block - 8) // 2):
                entry = struct.unpack_from("<H", self.data, offset + 8 + 2 * i)[0]
                if entry >> 12:
                    relocations[page + (entry & 0xFFF)] = entry >> 12
            offset += block
        return relocations

    def export_names(self):
        rva, size = self.directories[0]
        if not rva:
            return []
        offset = self.rva_to_offset(rva, 40)
        count, names = struct.unpack_from("<II", self.data, offset + 24)[0], struct.unpack_from("<I", self.data, offset + 32)[0]
        result = []
        for i in range(count):
            name_rva = struct.unpack_from("<I", self.data, self.rva_to_offset(names + 4 * i, 4))[0]
            start = self.rva_to_offset(name_rva)
            result.append(self.data[start:self.data.index(b"\0", start)].decode("ascii"))
        return result


def map_symbol(map_path, name):
    """The address the linker gave a global symbol."""
    pattern = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+_?%s\s*$" % re.escape(name))
    with open(map_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            match = pattern.match(line)
            if match:
                return int(match.group(1), 16)
    raise LibraryError("%s: no symbol %s" % (map_path, name))


class TableReader:
    """Reads the tables of one form: native pointers, or the wide form."""

    def __init__(self, image, pointer_size):
        self.image = image
        self.pointer_size = pointer_size

    def u8(self, va):
        return self.image.data[self.image.va_to_offset(va, 1)]

    def u16(self, va):
        return struct.unpack_from("<H", self.image.data, self.image.va_to_offset(va, 2))[0]

    def u32(self, va):
        return struct.unpack_from("<I", self.image.data, self.image.va_to_offset(va, 4))[0]

    def pointer(self, va):
        offset = self.image.va_to_offset(va, self.pointer_size)
        if self.pointer_size == 8:
            value = struct.unpack_from("<Q", self.image.data, offset)[0]
        else:
            value = struct.unpack_from("<I", self.image.data, offset)[0]
        if value:
            expected = RELOC_DIR64 if self.image.is64 else RELOC_HIGHLOW
            if self.image.relocations.get(va - self.image.image_base) != expected:
                raise LibraryError("%s: the pointer at 0x%X has no relocation" % (self.image.path, va))
            if not self.image.is64 and value >> 32:
                raise LibraryError("%s: the wide pointer at 0x%X is not a 32-bit address" % (self.image.path, va))
        return value

    def wide_string(self, va):
        chars = []
        while True:
            c = self.u16(va + 2 * len(chars))
            if c == 0:
                return "".join(map(chr, chars))
            chars.append(c)


def _align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def descriptor_offsets(pointer_size):
    """Field offsets of the table descriptor for a pointer size."""
    fields = [("modifiers", "p"), ("charTables", "p"), ("deadKeys", "p"), ("keyNames", "p"),
              ("keyNamesExt", "p"), ("keyNamesDead", "p"), ("vscToVk", "p"), ("maxVsc", 1),
              ("vscToVkE0", "p"), ("vscToVkE1", "p"), ("localeFlags", 4), ("ligatureMax", 1),
              ("ligatureEntrySize", 1), ("ligatures", "p"), ("type", 4), ("subType", 4)]
    offsets = {}
    at = 0
    for name, size in fields:
        size = pointer_size if size == "p" else size
        at = _align(at, size)
        offsets[name] = at
        at += size
    return offsets


class Tables:
    """Everything the tables of one form say, with the places of the patched tables."""
    pass


def read_tables(image, tables_va, pointer_size):
    r = TableReader(image, pointer_size)
    p = pointer_size
    o = descriptor_offsets(p)
    t = Tables()
    t.address = tables_va
    field = lambda name: tables_va + o[name]

    modifiers = r.pointer(field("modifiers"))
    vk_to_bit = r.pointer(modifiers)
    t.modifier_bits = []
    while r.u8(vk_to_bit):
        t.modifier_bits.append((r.u8(vk_to_bit), r.u8(vk_to_bit + 1)))
        vk_to_bit += 2
    t.max_mod_bits = r.u16(modifiers + p)
    t.mod_number = [r.u8(modifiers + p + 2 + i) for i in range(t.max_mod_bits + 1)]

    t.char_tables = []  # (cell count, [(vk, attributes, [cells])], entries address)
    t.decimal_cell = None
    table = r.pointer(field("charTables"))
    while True:
        entries = r.pointer(table)
        if not entries:
            break
        count, size = r.u8(table + p), r.u8(table + p + 1)
        if size != 2 + 2 * count:
            raise LibraryError("%s: a character table's entry size does not fit its cells" % image.path)
        rows = []
        entry = entries
        while r.u8(entry):
            vk = r.u8(entry)
            rows.append((vk, r.u8(entry + 1), [r.u16(entry + 2 + 2 * i) for i in range(count)]))
            if vk == 0x6E and count >= 2:
                t.decimal_cell = entry + 2
            entry += size
        t.char_tables.append((count, rows, entries))
        table += 2 * p

    t.dead_keys = []
    dead = r.pointer(field("deadKeys"))
    while dead and r.u32(dead):
        t.dead_keys.append((r.u32(dead), r.u16(dead + 4), r.u16(dead + 6)))
        dead += 8

    def names(va):
        result = []
        while va and r.u8(va):
            result.append((r.u8(va), r.wide_string(r.pointer(va + p))))
            va += 2 * p
        return result

    t.key_names = names(r.pointer(field("keyNames")))
    t.key_names_ext = names(r.pointer(field("keyNamesExt")))
    t.key_names_dead = []
    dead_names = r.pointer(field("keyNamesDead"))
    while dead_names and r.pointer(dead_names):
        t.key_names_dead.append(r.wide_string(r.pointer(dead_names)))
        dead_names += p

    t.vsc_to_vk_address = r.pointer(field("vscToVk"))
    t.max_vsc = r.u8(field("maxVsc"))
    t.vsc_to_vk = [r.u16(t.vsc_to_vk_address + 2 * i) for i in range(t.max_vsc)]

    def vsc_vk(va):
        records = []
        while r.u8(va + 4 * len(records)):
            at = va + 4 * len(records)
            records.append((r.u8(at), r.u16(at + 2)))
        return records

    t.e0_address = r.pointer(field("vscToVkE0"))
    t.e1_address = r.pointer(field("vscToVkE1"))
    t.e0 = vsc_vk(t.e0_address)
    t.e1 = vsc_vk(t.e1_address)
    t.locale_flags = r.u32(field("localeFlags"))
    t.ligature_max = r.u8(field("ligatureMax"))
    t.ligatures = r.pointer(field("ligatures"))
    t.type = r.u32(field("type"))
    t.sub_type = r.u32(field("subType"))
    return t


def table_forms(image, map_path):
    """(form name, tables) for every form the library carries."""
    forms = [("native", read_tables(image, map_symbol(map_path, "g_tables"), 8 if image.is64 else 4))]
    if not image.is64:
        forms.append(("wide", read_tables(image, map_symbol(map_path, "g_tablesWide"), 8)))
    return forms


def content(t):
    """The layout the tables describe, without addresses, for comparisons."""
    return {
        "modifier_bits": t.modifier_bits, "max_mod_bits": t.max_mod_bits, "mod_number": t.mod_number,
        "char_tables": [(count, rows) for count, rows, _ in t.char_tables],
        "dead_keys": t.dead_keys, "key_names": t.key_names, "key_names_ext": t.key_names_ext,
        "key_names_dead": t.key_names_dead, "vsc_to_vk": t.vsc_to_vk, "e0": t.e0, "e1": t.e1,
        "locale_flags": t.locale_flags, "ligature_max": t.ligature_max, "ligatures": t.ligatures,
        "type": t.type, "sub_type": t.sub_type,
    }

#!/usr/bin/env python3
"""Tests of tools/catalogue.py, the generator of the item catalogue source,
and of the packer's command line as the build calls it.

usage: catalogue_test.py SOURCE_DIR PACKER CXX
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR, PACKER, CXX = sys.argv[1:4]
GENERATOR = os.path.join(SOURCE_DIR, "tools", "catalogue.py")
KEY = os.path.join(SOURCE_DIR, "content", "keyblock.bin")


class CatalogueTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        self.out = os.path.join(self.root, "Catalogue.cpp")

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.root, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def pack(self, name, data, *options):
        source = self.write(name + ".src", data)
        item = self.path(name + ".item")
        subprocess.run([PACKER, "item", "--key", KEY, *options, source, item], check=True)
        return item

    def generate(self, *args):
        return subprocess.run([sys.executable, GENERATOR, "--out", self.out, "--key", KEY, "--packer", PACKER,
                               "--work", self.path("work"), *args],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def text(self):
        with open(self.out, encoding="utf-8") as f:
            return f.read()

    def cells(self):
        """[(set, family, variant) -> item name or None] in emission order."""
        body = self.text().split("g_layoutItems")[1].split("};\n")[0]
        entries = re.findall(r"\{ (kItem\d+|0), ", body)
        self.assertEqual(2 * 3 * 13, len(entries))
        return [None if e == "0" else e for e in entries]

    def test_AbsentInputsGiveEmptyEntriesAndCompile(self):
        run = self.generate("--layouts", self.path("no-such-list.txt"))
        self.assertEqual(0, run.returncode, run.stdout)
        text = self.text()
        self.assertEqual([None] * 78, self.cells())
        for name in ("g_mainDocumentItem", "g_extraDocumentItem", "g_targetFileItem"):
            self.assertIn(f"const PayloadItem {name} = {{ 0, 0 }};", text)
        self.assertIn("const u32 g_keyBlockSize = 968;", text)
        compile_run = subprocess.run([CXX, "-std=c++17", "-fsyntax-only", "-Wall", "-Wextra", "-Werror",
                                      "-I", SOURCE_DIR, self.out], stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True)
        self.assertEqual(0, compile_run.returncode, compile_run.stdout)

    def test_IdenticalLibrariesShareOneItem(self):
        a = self.write("a.dll", b"library A" * 50)
        a_copy = self.write("a-copy.dll", b"library A" * 50)
        b = self.write("b.dll", b"library B" * 50)
        listing = self.write("libraries.txt", "\n".join([
            f"0 0 0 {a}", f"0 0 1 {a_copy}", "0 0 3 -", f"1 2 12 {b}", ""]).encode())
        run = self.generate("--layouts", listing)
        self.assertEqual(0, run.returncode, run.stdout)
        cells = self.cells()
        self.assertIsNotNone(cells[0])
        self.assertEqual(cells[0], cells[1])
        self.assertIsNone(cells[3])
        self.assertIsNone(cells[2])
        last = cells[1 * 39 + 2 * 13 + 12]
        self.assertIsNotNone(last)
        self.assertNotEqual(cells[0], last)
        self.assertEqual(2, len(re.findall(r"^const u32 kItem\d+Size", self.text(), re.M)))

    def test_PackedItemsAreEmittedByteForByte(self):
        common = self.pack("common", b"common texts")
        main = self.pack("main", b"<html>guide</html>", "--stored-size", "3128")
        run = self.generate("--strings-common", common, "--main-document", main)
        self.assertEqual(0, run.returncode, run.stdout)
        text = self.text()
        entry = re.search(r"g_stringTableItems\[kStringTableCount\] = \{\n    \{ (kItem\d+), ", text).group(1)
        body = text.split(f"const u8 {entry}[")[1].split("};")[0].split("{", 1)[1]
        emitted = bytes(int(b, 16) for b in re.findall(r"0x([0-9A-F]{2})", body))
        with open(common, "rb") as f:
            self.assertEqual(f.read(), emitted)
        self.assertRegex(text, r"const PayloadItem g_mainDocumentItem = \{ kItem\d+, kItem\d+Size \};")
        self.assertIn("Size = 3128;", text)

    def test_MalformedListsAreRefusedWithFileAndLine(self):
        lib = self.write("x.dll", b"x")
        cases = [
            ("too few fields", "0 0 0\n", "libraries.txt:1: expected"),
            ("set out of range", f"2 0 0 {lib}\n", "libraries.txt:1: cell 2 0 0 is outside"),
            ("variant out of range", f"# note\n0 0 13 {lib}\n", "libraries.txt:2: cell 0 0 13 is outside"),
            ("not a number", f"0 a 0 {lib}\n", "libraries.txt:1: set, family and variant must be numbers"),
            ("cell twice", f"0 0 0 {lib}\n0 0 0 -\n", "libraries.txt:2: cell 0 0 0 is listed twice"),
            ("missing library", f"0 0 0 {self.path('gone.dll')}\n", "libraries.txt:1: no library at"),
        ]
        for name, listing, message in cases:
            with self.subTest(name):
                run = self.generate("--layouts", self.write("libraries.txt", listing.encode()))
                self.assertNotEqual(0, run.returncode, name)
                self.assertIn(message, run.stdout, name)

    def test_RefusesABadKeyBlockAndBadItems(self):
        short = self.write("short.bin", bytes(967))
        run = subprocess.run([sys.executable, GENERATOR, "--out", self.out, "--key", short],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertNotEqual(0, run.returncode)
        self.assertIn("968 bytes", run.stdout)
        odd = self.write("odd.item", bytes(12))
        run = self.generate("--licence0", odd)
        self.assertNotEqual(0, run.returncode)
        self.assertIn("multiple of 8", run.stdout)

    def test_UnchangedOutputIsNotRewritten(self):
        self.assertEqual(0, self.generate().returncode)
        os.utime(self.out, (1000000000, 1000000000))
        self.assertEqual(0, self.generate().returncode)
        self.assertEqual(1000000000, int(os.stat(self.out).st_mtime))


class PackerCommandTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def run_packer(self, *args):
        return subprocess.run([PACKER, *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def test_RefusedSourceNamesFileAndLineAndLeavesNoItem(self):
        source = os.path.join(self.dir.name, "en.txt")
        item = os.path.join(self.dir.name, "en.item")
        with open(source, "w", encoding="utf-8") as f:
            f.write("# texts\n10\tten\n11\televen\n10\tagain\n")
        with open(item, "wb") as f:
            f.write(b"stale")
        run = self.run_packer("strings", "--key", KEY, source, item)
        self.assertEqual(1, run.returncode)
        self.assertIn(f"{source}:4: id 10 is already defined on line 2", run.stdout)
        self.assertFalse(os.path.exists(item))

    def test_StringsItemUnpacksToItsTable(self):
        source = os.path.join(self.dir.name, "s.txt")
        item = os.path.join(self.dir.name, "s.item")
        table = os.path.join(self.dir.name, "s.table")
        unpacked = os.path.join(self.dir.name, "s.unpacked")
        with open(source, "w", encoding="utf-8") as f:
            f.write("2\ttwo\n1\tone\n")
        self.assertEqual(0, self.run_packer("strings", "--key", KEY, source, item).returncode)
        self.assertEqual(0, self.run_packer("table", source, table).returncode)
        run = self.run_packer("unpack", "--key", KEY, item, unpacked)
        self.assertEqual(0, run.returncode, run.stdout)
        self.assertIn("user value 2,", run.stdout)
        with open(table, "rb") as a, open(unpacked, "rb") as b:
            self.assertEqual(a.read(), b.read())

    def test_KeyBlockOfTheWrongSizeIsRefused(self):
        key = os.path.join(self.dir.name, "key.bin")
        with open(key, "wb") as f:
            f.write(bytes(969))
        run = self.run_packer("item", "--key", key, KEY, os.path.join(self.dir.name, "out.item"))
        self.assertEqual(1, run.returncode)
        self.assertIn("exactly 968 bytes, not 969", run.stdout)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)

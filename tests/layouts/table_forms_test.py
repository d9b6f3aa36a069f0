#!/usr/bin/env python3
"""Every built library says what the layout definition says, in every table
form it carries: the 32-bit tables, their wide form read on 64-bit systems,
and the 64-bit tables; and the build check refuses broken pattern texts.

    table_forms_test.py --layout klawisz.layout --layouts DIR --strings common.txt
"""

import argparse
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

import check_layout  # noqa: E402
import gen_layout  # noqa: E402
import layout_library  # noqa: E402

ARGS = None


def library(alt_set, family, arch):
    base = os.path.join(ARGS.layouts, "set%d" % alt_set, "family%d" % family, arch)
    return os.path.join(base, "kbdklwsz.dll"), os.path.join(base, "kbdklwsz.map")


def forms(alt_set, family):
    result = []
    for arch in ("i686", "x86_64"):
        path, map_path = library(alt_set, family, arch)
        image = layout_library.PeImage(path)
        for form, tables in layout_library.table_forms(image, map_path):
            result.append(("%s %s" % (arch, form), tables))
    return result


class TableForms(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.layout = gen_layout.load_layout(ARGS.layout)

    def test_every_form_matches_the_definition(self):
        for alt_set in gen_layout.SETS:
            for family in gen_layout.FAMILIES:
                expected = gen_layout.build_tables(self.layout, family, alt_set)
                found = forms(alt_set, family)
                self.assertEqual([name for name, _ in found], ["i686 native", "i686 wide", "x86_64 native"])
                for name, t in found:
                    where = "set %d family %d, %s" % (alt_set, family, name)
                    self.assertEqual(t.vsc_to_vk, expected.vsc_to_vk, where)
                    self.assertEqual(t.e0, expected.e0, where)
                    self.assertEqual(t.e1, expected.e1, where)
                    self.assertEqual(t.char_tables[0][1], expected.chars6, where)
                    self.assertEqual(t.char_tables[1][1], expected.chars2, where)
                    self.assertEqual(len(t.char_tables), 2, where)
                    self.assertEqual(t.dead_keys, [(d << 16 | b, c, 0) for b, d, c in expected.dead_keys], where)
                    self.assertEqual(t.key_names, expected.key_names, where)
                    self.assertEqual(t.key_names_ext, expected.key_names_ext, where)
                    self.assertEqual(t.key_names_dead, [chr(d) + n for d, n in expected.dead_names], where)
                    self.assertEqual(t.mod_number, list(gen_layout.MOD_NUMBER), where)
                    self.assertEqual(t.modifier_bits, list(gen_layout.MOD_BITS), where)
                    self.assertEqual(t.locale_flags, 0x00010001, where)

    def test_wide_form_shares_the_patched_tables(self):
        # The installer patches one copy of each table; both 32-bit forms must read it.
        for alt_set in gen_layout.SETS:
            for family in gen_layout.FAMILIES:
                (_, native), (_, wide), _ = forms(alt_set, family)
                where = "set %d family %d" % (alt_set, family)
                self.assertEqual(native.vsc_to_vk_address, wide.vsc_to_vk_address, where)
                self.assertEqual(native.e0_address, wide.e0_address, where)
                self.assertEqual(native.e1_address, wide.e1_address, where)
                self.assertEqual(native.decimal_cell, wide.decimal_cell, where)
                self.assertNotEqual(native.address, wide.address, where)

    def test_sets_differ_only_by_the_dead_key(self):
        for family in gen_layout.FAMILIES:
            normal = layout_library.content(forms(0, family)[2][1])
            alternative = layout_library.content(forms(1, family)[2][1])
            differing = sorted(k for k in normal if normal[k] != alternative[k])
            self.assertEqual(differing, ["char_tables", "dead_keys", "key_names_dead"], "family %d" % family)


class BuildCheck(unittest.TestCase):
    """The pattern check run after linking refuses texts that would fail the install."""

    def run_check(self, replace):
        """Checks the Dvorak alternative-set i686 library against the committed
        texts with some replaced; a replacement of None leaves that string out."""
        strings = check_layout.read_strings(ARGS.strings)
        strings.update(replace)
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False, encoding="utf-8") as f:
            for key, text in sorted(strings.items()):
                if text is not None:
                    f.write("%d\t%s\n" % (key, text))
            name = f.name
        try:
            path, map_path = library(1, 2, "i686")
            args = argparse.Namespace(library=path, strings=name, map=map_path, family=2, layout=None)
            return check_layout.check(args)
        finally:
            os.remove(name)

    def test_committed_patterns_pass(self):
        self.assertEqual(self.run_check({}), [])

    def test_refuses_broken_patterns(self):
        strings = check_layout.read_strings(ARGS.strings)
        cases = [
            ("lower-case digit", 146, strings[146].lower()),
            ("absent", 151, None),
            ("empty", 151, ""),
            ("odd length", 150, strings[150] + "0"),
            ("not hexadecimal", 150, "1000G101"),
            ("the scancode table of another family", 149, strings[147]),
            ("matches many places", 149, "FF00"),
            ("matches nowhere", 150, "ABCDEF0123456789"),
        ]
        for name, string_id, text in cases:
            errors = self.run_check({string_id: text})
            self.assertTrue(errors, name)
            self.assertTrue(all(e.startswith("string %d " % string_id) for e in errors), "%s: %s" % (name, errors))


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--layout", required=True)
    parser.add_argument("--layouts", required=True)
    parser.add_argument("--strings", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The installed documents as built: self-contained, well formed, in both
languages, small enough for their items, and their keyboard pictures and
tables say what the layout definition says. Also the generator's refusals
and that a changed definition changes the documents.

    documents_test.py --root REPOSITORY --documents DIR --limit NAME=BYTES...
"""

import argparse
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zlib

ARGS = None
DOCUMENTS = {"guide": "guide.html", "chart": "chart.html", "try": "try-klawisz.html"}
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
SVG = "{http://www.w3.org/2000/svg}"


def tools():
    sys.path.insert(0, os.path.join(ARGS.root, "tools"))
    import gen_layout  # noqa: E402
    return gen_layout


def read(name):
    with open(os.path.join(ARGS.documents, DOCUMENTS[name]), encoding="utf-8") as f:
        return f.read()


class Page(html.parser.HTMLParser):
    """Everything the checks need from one page."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []
        self.problems = []
        self.ids = set()
        self.links = []          # (tag, attribute, value)
        self.tags = set()
        self.styles = []         # texts of style elements and attributes
        self.langs = set()
        self.in_style = False

    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        if tag not in VOID:
            self.stack.append(tag)
        for name, value in attrs:
            value = value or ""
            if name == "id":
                if value in self.ids:
                    self.problems.append("id %s twice" % value)
                self.ids.add(value)
            elif name == "lang":
                self.langs.add(value)
            elif name == "style":
                self.styles.append(value)
            elif name in ("src", "href", "xlink:href", "action", "formaction", "data", "srcset", "poster",
                          "background", "cite", "longdesc", "usemap", "manifest"):
                self.links.append((tag, name, value))
        self.in_style = tag == "style"

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID and self.stack and self.stack[-1] == tag:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if not self.stack or self.stack[-1] != tag:
            self.problems.append("</%s> closes <%s>" % (tag, self.stack[-1] if self.stack else "nothing"))
            if tag in self.stack:
                while self.stack.pop() != tag:
                    pass
            return
        self.stack.pop()
        if tag == "style":
            self.in_style = False

    def handle_data(self, data):
        if self.in_style:
            self.styles.append(data)


def parse(text):
    page = Page()
    page.feed(text)
    page.close()
    if page.stack:
        page.problems.append("left open: " + " ".join(page.stack))
    return page


def pictures(text):
    """(svg element) of every keyboard picture in a page."""
    result = []
    for svg in re.findall(r"<svg\b.*?</svg>", text, re.S):
        root = ET.fromstring(svg)
        if "kbd" in root.get("class", "").split():
            result.append(root)
    return result


def labels(root):
    """{scancode: {place: (code, dead)}} of one picture."""
    keys = {}
    for group in root.iter(SVG + "g"):
        if group.get("class") != "key":
            continue
        places = {}
        for text in group.iter(SVG + "text"):
            classes = text.get("class", "").split()
            if not classes or classes[0] == "name":
                continue
            shown = (text.text or "") + "".join(child.tail or "" for child in text)  # without <title>
            places[classes[0]] = (int(text.get("data-char")[2:], 16), "dead" in classes, shown)
        keys[int(group.get("data-sc"), 16)] = places
    return keys


def expected_cells(gen_layout, layout, family, alt_set):
    """{scancode: {place: (code, dead)}} straight from the library tables."""
    tables = gen_layout.build_tables(layout, family, alt_set)
    vks = {sc: vk & 0xFF for sc, vk in enumerate(tables.vsc_to_vk) if vk != gen_layout.VK_NONE}
    vks.update({0xE000 | sc: vk & 0xFF for sc, vk in tables.e0})
    rows = {}
    chars6 = tables.chars6
    for i, (vk, _, cells) in enumerate(chars6):
        if vk == gen_layout.VK_NONE:
            continue
        row = {}
        for place, state in (("base", 0), ("shift", 1), ("altgr", 4), ("shift-altgr", 5)):
            code = cells[state]
            if code == gen_layout.CELL_DEAD:
                row[place] = (chars6[i + 1][2][state], True)
            elif code != gen_layout.CELL_NONE and code > 0x20 and code != 0x7F:
                row[place] = (code, False)
        rows[vk] = row
    return {sc: rows.get(vk, {}) for sc, vk in vks.items()}


class SelfContained(unittest.TestCase):
    def test_documents_load_nothing_from_outside(self):
        for name in DOCUMENTS:
            page = parse(read(name))
            for tag, attribute, value in page.links:
                self.assertTrue(attribute == "href" and value.startswith("#"),
                                "%s: <%s %s=%r> leaves the page" % (name, tag, attribute, value))
                self.assertIn(value[1:], page.ids, "%s: link to a missing anchor %s" % (name, value))
            for tag in ("script", "link", "iframe", "object", "embed", "img", "base", "frame", "audio", "video"):
                self.assertNotIn(tag, page.tags, "%s: has a <%s> element" % (name, tag))
            for style in page.styles:
                self.assertNotRegex(style, r"(?i)url\s*\(\s*['\"]?[^#'\"\s]|@import",
                                    "%s: a style loads a file" % name)

    def test_documents_are_well_formed(self):
        for name in DOCUMENTS:
            text = read(name)
            page = parse(text)
            self.assertEqual(page.problems, [], name)
            self.assertTrue(text.startswith("<!DOCTYPE html>"), name)
            self.assertIn('<meta charset="utf-8">', text, name)
            self.assertNotRegex(text, r"\{\{|\}\}", "%s: a placeholder was left" % name)
            for svg in re.findall(r"<svg\b.*?</svg>", text, re.S):
                ET.fromstring(svg)  # raises on a picture an SVG reader cannot read

    def test_documents_speak_both_languages(self):
        for name in DOCUMENTS:
            page = parse(read(name))
            self.assertIn("pl", page.langs, name)
        guide = parse(read("guide"))
        self.assertTrue({"en", "pl"} <= guide.ids, "the guide has an English and a Polish section")
        self.assertIn("Zestaw alternatywny", read("guide"))


class Sizes(unittest.TestCase):
    def test_every_document_fits_its_item(self):
        for name, limit in ARGS.limits.items():
            data = read(name).encode("utf-8")
            compressor = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
            stream = compressor.compress(data) + compressor.flush()
            stored = (24 + len(stream) + 7) & ~7
            self.assertLessEqual(stored, limit, "%s: %d stored bytes for an item of %d" % (name, stored, limit))
        self.assertIn("try", ARGS.limits)


class Pictures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.gen_layout = tools()
        cls.layout = cls.gen_layout.load_layout(os.path.join(ARGS.root, "layouts", "klawisz.layout"))

    def picture_set(self, text):
        return {(int(p.get("data-family")), int(p.get("data-set"))): p for p in pictures(text)}

    def test_guide_shows_every_family_and_set_in_each_language(self):
        text = read("guide")
        half = text.index('id="pl"')
        for label, part in (("English", text[:half]), ("Polish", text[half:])):
            found = sorted(self.picture_set(part))
            self.assertEqual(found, [(f, s) for f in range(3) for s in range(2)], label)
        self.assertEqual(sorted(self.picture_set(read("chart"))), [(0, 0), (1, 0), (2, 0)])

    def test_pictures_agree_with_the_library_tables(self):
        for name in ("guide", "chart"):
            for picture in pictures(read(name)):
                family, alt_set = int(picture.get("data-family")), int(picture.get("data-set"))
                expected = expected_cells(self.gen_layout, self.layout, family, alt_set)
                drawn = labels(picture)
                self.assertGreaterEqual(len(drawn), 60)
                for scancode, places in drawn.items():
                    where = "%s family %d set %d key %04X" % (name, family, alt_set, scancode)
                    self.assertEqual({p: (c, d) for p, (c, d, _) in places.items()}, expected[scancode], where)
                    for place, (code, _, shown) in places.items():
                        if code != 0xA0:
                            self.assertEqual(shown, chr(code), where + " " + place)

    def test_known_keys(self):
        # (family, set, scancode, place, character or None, dead)
        cases = [
            (0, 0, 0x15, "shift", "Y", False),
            (0, 0, 0x2C, "shift", "Z", False),
            (1, 0, 0x15, "shift", "Z", False),
            (1, 0, 0x15, "altgr", "ż", False),
            (1, 0, 0x2C, "shift", "Y", False),
            (1, 0, 0x2C, "altgr", None, False),
            (0, 0, 0x1E, "altgr", "ą", False),
            (0, 0, 0x1E, "shift-altgr", "Ą", False),
            (2, 1, 0x1E, "altgr", "ą", False),
            (2, 0, 0x1F, "base", "o", False),
            (2, 0, 0x1F, "altgr", "ó", False),
            (2, 0, 0x10, "base", "'", False),
            (2, 0, 0x35, "altgr", "ż", False),
            (2, 0, 0x2D, "shift", "Q", False),
            (0, 0, 0x26, "altgr", "ł", False),
            (0, 0, 0x0C, "shift-altgr", "—", False),
            (0, 0, 0x1A, "altgr", "„", False),
            (0, 0, 0x16, "altgr", "€", False),
            (0, 0, 0x39, "altgr", "\u00a0", False),
            (0, 0, 0x29, "shift", "~", False),
            (0, 1, 0x29, "shift", "~", True),
            (2, 1, 0x29, "base", "`", False),
        ]
        found = {}
        for picture in pictures(read("guide")):
            key = (int(picture.get("data-family")), int(picture.get("data-set")))
            found.setdefault(key, labels(picture))
        for family, alt_set, scancode, place, char, dead in cases:
            where = "family %d set %d key %02X %s" % (family, alt_set, scancode, place)
            cell = found[(family, alt_set)][scancode].get(place)
            if char is None:
                self.assertIsNone(cell, where)
            else:
                self.assertIsNotNone(cell, where)
                self.assertEqual((chr(cell[0]), cell[1]), (char, dead), where)


class Tables(unittest.TestCase):
    def test_altgr_tables_list_every_altgr_character(self):
        gen_layout = tools()
        layout = gen_layout.load_layout(os.path.join(ARGS.root, "layouts", "klawisz.layout"))
        pairs = []
        for vk, _, cells in layout.characters:
            altgr, shift_altgr = cells[4], cells[5]
            if altgr is not None:
                pairs.append((altgr, shift_altgr))
        self.assertGreaterEqual(len(pairs), 15)
        for name in ("guide", "try"):
            text = read(name)
            rows = re.findall(r'<tr><td><kbd>[^<]*</kbd></td><td>(.*?)</td><td>(.*?)</td>', text)
            shown = set()
            for altgr, shift_altgr in rows:
                shown.add((re.sub(r"<[^>]+>", "", altgr), re.sub(r"<[^>]+>", "", shift_altgr)))
            for altgr, shift_altgr in pairs:
                if altgr == 0xA0:
                    continue
                expected = (chr(altgr), chr(shift_altgr) if shift_altgr is not None else "")
                self.assertIn(expected, shown, "%s: AltGr row %r" % (name, expected))

    def test_dead_key_table_matches_the_definition(self):
        gen_layout = tools()
        layout = gen_layout.load_layout(os.path.join(ARGS.root, "layouts", "klawisz.layout"))
        composed = [chr(c) for _, c in layout.dead[ord("~")][1]]
        text = read("guide")
        for table in re.findall(r'<table class="dead">.*?</table>', text, re.S):
            gives = re.findall(r'<td><span class="char">(.*?)</span></td>', table)
            self.assertEqual(gives, composed)


class Generator(unittest.TestCase):
    """The generator run on changed copies of its sources."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="documents-test-")
        self.sources = os.path.join(self.work, "sources")
        shutil.copytree(os.path.join(ARGS.root, "content", "documents"), self.sources)
        self.layout = os.path.join(self.work, "klawisz.layout")
        shutil.copy(os.path.join(ARGS.root, "layouts", "klawisz.layout"), self.layout)
        self.out = os.path.join(self.work, "out")

    def tearDown(self):
        shutil.rmtree(self.work)

    def edit(self, path, old, new):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text, path)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def run_generator(self, *extra):
        command = [sys.executable, os.path.join(ARGS.root, "tools", "gen_documents.py"),
                   "--layout", self.layout, "--strings", os.path.join(ARGS.root, "content", "strings"),
                   "--sources", self.sources, "--out-dir", self.out] + list(extra)
        return subprocess.run(command, capture_output=True, text=True)

    def test_generator_refuses_broken_sources(self):
        # (case, file to edit, old text, new text, extra arguments, expected message)
        cases = [
            ("document too big for its item", None, None, None, ["--limit", "try=256"],
             "try-klawisz.html is too big"),
            ("AltGr character without a name", "characters.txt", "€\teuro sign\tznak euro\n", "", [],
             "no name for U+20AC"),
            ("unknown placeholder", "guide.en.html", "{{caps-altgr}}", "{{caps-lock}}", [],
             "guide.en.html:"),
            ("string that does not exist", "try.html", "{{ui 70}}", "{{ui 99999}}", [], "no string 99999"),
            ("drawn key the layout lacks", "keyboard.txt", "row 29 02", "row 7F 02", [], "does not have: 7F"),
            ("unclosed placeholder", "chart.html", "{{decimal}}", "{{decimal}", [], "unbalanced"),
        ]
        for case, path, old, new, extra, message in cases:
            with self.subTest(case=case):
                if path:
                    with open(os.path.join(self.sources, path), encoding="utf-8") as f:
                        original = f.read()
                    self.edit(os.path.join(self.sources, path), old, new)
                result = self.run_generator(*extra)
                if path:
                    with open(os.path.join(self.sources, path), "w", encoding="utf-8") as f:
                        f.write(original)
                self.assertEqual(result.returncode, 1, case)
                self.assertIn(message, result.stderr, case)

    def test_refused_document_leaves_no_earlier_copy(self):
        self.assertEqual(self.run_generator().returncode, 0)
        target = os.path.join(self.out, "try-klawisz.html")
        self.assertTrue(os.path.exists(target))
        result = self.run_generator("--limit", "try=256")
        self.assertEqual(result.returncode, 1)
        self.assertFalse(os.path.exists(target), "a stale copy would be packed by the next build")

    def test_documents_follow_a_changed_definition(self):
        # QWERTZ sends W from the X key and the Polish ó moves to AltGr+P.
        self.edit(self.layout, "2D       X                        =", "2D       X                        W")
        self.edit(self.layout, "O             caps+altgr  o       O       U+000F  -           ó       Ó",
                  "O             caps        o       O       U+000F  -           -       -")
        self.edit(self.layout, "P             caps        p       P       U+0010  -           -       -",
                  "P             caps+altgr  p       P       U+0010  -           ó       Ó")
        result = self.run_generator()
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.out, "guide.html"), encoding="utf-8") as f:
            text = f.read()
        found = {(int(p.get("data-family")), int(p.get("data-set"))): labels(p) for p in pictures(text)}
        self.assertEqual(chr(found[(1, 0)][0x2D]["shift"][0]), "W")
        self.assertEqual(chr(found[(0, 0)][0x2D]["shift"][0]), "X")
        self.assertEqual(chr(found[(0, 0)][0x19]["altgr"][0]), "ó")
        self.assertNotIn("altgr", found[(0, 0)][0x18])
        self.assertIn("<tr><td><kbd>P</kbd></td><td><span class=\"char\">ó</span>", text)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--documents", required=True)
    parser.add_argument("--limit", action="append", default=[])
    ARGS, rest = parser.parse_known_args()
    ARGS.limits = {}
    for value in ARGS.limit:
        name, _, number = value.partition("=")
        ARGS.limits[name] = int(number)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()

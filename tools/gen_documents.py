#!/usr/bin/env python3
"""Builds the three installed documents from the layout definition, so that
what they show is what the layout libraries type:

    guide.html        the user guide, English and Polish (main document)
    chart.html        the printable layout chart (extra document)
    try-klawisz.html  the try-it page (target file)

    gen_documents.py --layout klawisz.layout --strings DIR --sources DIR
                     --out-dir DIR [--limit NAME=BYTES ...]

--sources is content/documents: the page templates, their style sheets, the
drawn keyboard (keyboard.txt), the character names (characters.txt) and the
short texts of pictures and tables (phrases.txt). --strings is
content/strings: the guide names the setup program's controls with their
own texts. A --limit gives the stored size of a document's payload item
(guide, chart, try); a document whose packed form does not fit is refused.

Templates are HTML with placeholders {{name arguments}}; see PLACEHOLDERS.
A template named *.en.html or *.pl.html is written in that language, and its
placeholders produce text in it.
"""

import argparse
import html
import os
import re
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check_strings  # noqa: E402
import gen_layout  # noqa: E402

LANGUAGES = ("en", "pl")
# (name, template, output file)
DOCUMENTS = (
    ("guide", "guide.html", "guide.html"),
    ("chart", "chart.html", "chart.html"),
    ("try", "try.html", "try-klawisz.html"),
)

# The payload item around a document: a header, then the raw deflate
# stream, padded to a multiple of 8 (as the packer writes it).
ITEM_HEADER_SIZE = 24
DEFLATE_LEVEL = 9
DEFLATE_MEM_LEVEL = 9

# Shift-state columns of a character row that the pictures show.
BASE, SHIFT, ALTGR, SHIFT_ALTGR = 0, 1, 4, 5
SHOWN_STATES = {"base": BASE, "shift": SHIFT, "altgr": ALTGR, "shift-altgr": SHIFT_ALTGR}
NBSP = 0xA0

# Picture geometry, in pixels: one key unit, the gap between keys, the
# margin around the keyboard.
UNIT = 56
GAP = 4
MARGIN = 2
FONT = "Segoe UI, Tahoma, Arial, DejaVu Sans, sans-serif"
INK = "#1a1a1a"
ALTGR_INK = "#1d4f9c"
NAME_INK = "#4a4a4a"
KEY_FILL = "#ffffff"
POLISH_KEY_FILL = "#e9f0fb"
ALTGR_KEY_FILL = "#c9dbf5"
DEAD_FILL = "#f5c089"
KEY_STROKE = "#555555"

VK_BY_VALUE = {value: name for name, value in gen_layout.VK_NAMES.items()}


class DocumentError(Exception):
    pass


# ---- Sources ----

def read_text(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except OSError as e:
        raise DocumentError("%s: %s" % (path, e.strerror))


def read_columns(path, count):
    """Rows of a tab-separated source: '#' lines and blank lines skipped."""
    rows = []
    for number, line in enumerate(read_text(path).split("\n"), 1):
        if not line.strip() or line.startswith("#"):
            continue
        columns = line.split("\t")
        if len(columns) != count or not all(c.strip() for c in columns):
            raise DocumentError("%s:%d: expected %d columns separated by tabs" % (path, number, count))
        rows.append((number, [c.strip() for c in columns]))
    return rows


def read_phrases(path):
    phrases = {}
    for number, (name, en, pl) in read_columns(path, 3):
        if name in phrases:
            raise DocumentError("%s:%d: phrase %s is defined twice" % (path, number, name))
        phrases[name] = {"en": en, "pl": pl}
    return phrases


def read_character_names(path):
    names = {}
    for number, (text, en, pl) in read_columns(path, 3):
        try:
            code = gen_layout.parse_cell(text)
        except ValueError as e:
            raise DocumentError("%s:%d: %s" % (path, number, e))
        if code is None or code in names:
            raise DocumentError("%s:%d: a character is missing or named twice" % (path, number))
        names[code] = {"en": en, "pl": pl}
    return names


class Key:
    def __init__(self, scancode, width, name):
        self.scancode = scancode
        self.width = width
        self.name = name


def read_keyboard(path):
    """The drawn rows: lists of Key."""
    rows = []
    for number, line in enumerate(read_text(path).split("\n"), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] != "row" or len(words) < 2:
            raise DocumentError("%s:%d: expected: row KEY..." % (path, number))
        row = []
        for word in words[1:]:
            match = re.fullmatch(r"([0-9A-Fa-f]{2,4})(?:/([0-9.]+))?(?:=(\S+))?", word)
            if not match:
                raise DocumentError("%s:%d: not a key: %s" % (path, number, word))
            name = match.group(3).replace("_", " ") if match.group(3) else None
            row.append(Key(int(match.group(1), 16), float(match.group(2) or 1), name))
        rows.append(row)
    if not rows:
        raise DocumentError("%s: no rows" % path)
    return rows


class Strings:
    """The program's texts, looked up as the program does: language table,
    then common, then setup."""

    def __init__(self, folder):
        self.tables = {}
        problems = []
        for name in ("common", "setup", "en", "pl"):
            entries, _ = check_strings.parse_table(os.path.join(folder, name + ".txt"), problems)
            self.tables[name] = {sid: text for sid, (_, text) in entries.items()}
        if problems:
            raise DocumentError("; ".join(problems))

    def get(self, sid, lang):
        for table in (lang, "common", "setup"):
            if sid in self.tables[table]:
                return self.tables[table][sid]
        raise DocumentError("no string %d for language %s" % (sid, lang))

    def formatted(self, sid, argument_ids, lang):
        text = self.get(sid, lang)
        if text.count("%s") != len(argument_ids) or text.replace("%s", "").count("%") != 0:
            raise DocumentError("string %d takes other arguments than %d text(s)" % (sid, len(argument_ids)))
        for argument in argument_ids:
            text = text.replace("%s", self.get(argument, lang), 1)
        return text


# ---- What each key types ----

class Cell:
    def __init__(self, code, dead=False):
        self.code = code
        self.dead = dead


class KeyboardModel:
    """What the library of one family and set types, per physical key."""

    def __init__(self, layout, family, alt_set):
        self.family = family
        self.alt_set = alt_set
        tables = gen_layout.build_tables(layout, family, alt_set)
        self.vk_by_scancode = {}
        for scancode, vk in enumerate(tables.vsc_to_vk):
            if vk != gen_layout.VK_NONE:
                self.vk_by_scancode[scancode] = vk & 0xFF
        for low, vk in tables.e0:
            self.vk_by_scancode[0xE000 | low] = vk & 0xFF
        self.rows = {}
        self.attributes = {}
        previous = None
        for vk, attributes, cells in tables.chars6:
            if vk == gen_layout.VK_NONE and previous is not None:
                # The characters of a row's dead cells follow it.
                for state, code in enumerate(cells):
                    if self.rows[previous][state] is not None and self.rows[previous][state].dead:
                        self.rows[previous][state] = Cell(code, True)
                continue
            row = []
            for code in cells:
                if code == gen_layout.CELL_NONE:
                    row.append(None)
                elif code == gen_layout.CELL_DEAD:
                    row.append(Cell(None, True))
                else:
                    row.append(Cell(code))
            self.rows[vk] = row
            self.attributes[vk] = attributes
            previous = vk
        self.decimal = None
        for vk, _, cells in tables.chars2:
            if vk == gen_layout.VK_NAMES["DECIMAL"]:
                self.decimal = cells[0]

    def vk(self, scancode):
        return self.vk_by_scancode.get(scancode)

    def cell(self, scancode, state):
        row = self.rows.get(self.vk(scancode))
        return row[state] if row else None


def visible(code):
    """A character a picture can show (no controls, no plain space)."""
    return code is not None and code > 0x20 and code != 0x7F and not 0x80 <= code < 0xA0


def character_text(code, lang, phrases):
    if code == NBSP:
        return phrases["nbsp"][lang]
    return chr(code)


def key_caption(model, vk, lang, phrases):
    """How the text names a key: by what it types alone (letters as
    capitals), Space by its name."""
    if vk == gen_layout.VK_NAMES["SPACE"]:
        return phrases["space"][lang]
    row = model.rows.get(vk)
    if row and row[BASE] and visible(row[BASE].code):
        return chr(row[BASE].code).upper()
    return VK_BY_VALUE.get(vk, "0x%02X" % vk)


# ---- Pictures ----

def _attr(value):
    return html.escape(str(value), quote=True)


def _number(value):
    return ("%.2f" % value).rstrip("0").rstrip(".")


def keyboard_svg(model, keyboard, langs, phrases):
    """An inline SVG picture of the keyboard with all four layers per key.
    langs: the languages of the labels (one, or both joined by ' / ')."""
    def phrase(name):
        return " / ".join(dict.fromkeys(phrases[name][lang] for lang in langs))

    units = max(sum(k.width for k in row) for row in keyboard)
    width = units * UNIT + 2 * MARGIN
    height = len(keyboard) * UNIT + 2 * MARGIN
    title = phrase("picture") if len(langs) == 1 else None
    family_name = gen_layout.FAMILY_NAMES[model.family]
    if title:
        title = title.replace("%s", family_name, 1).replace("%s", phrases["set%d" % model.alt_set][langs[0]], 1)
    else:
        title = "%s, %s" % (family_name, phrase("set%d" % model.alt_set))
    out = ['<svg xmlns="http://www.w3.org/2000/svg" class="kbd" role="img" width="%s" height="%s" '
           'viewBox="0 0 %s %s" data-family="%d" data-set="%d" aria-label="%s">'
           % (_number(width), _number(height), _number(width), _number(height),
              model.family, model.alt_set, _attr(title))]
    out.append("<title>%s</title>" % html.escape(title))
    out.append('<g font-family="%s" font-size="15" fill="%s">' % (FONT, INK))
    y = MARGIN
    for row in keyboard:
        x = MARGIN
        for key in row:
            out.append(_key_svg(model, key, x + GAP / 2, y + GAP / 2, key.width * UNIT - GAP, UNIT - GAP,
                                phrase, langs))
            x += key.width * UNIT
        y += UNIT
    out.append("</g></svg>")
    return "".join(out)


def _key_svg(model, key, x, y, w, h, phrase, langs):
    vk = model.vk(key.scancode)
    cells = {name: model.cell(key.scancode, state) for name, state in SHOWN_STATES.items()}
    altgr = cells["altgr"]
    if vk == gen_layout.VK_NAMES["RMENU"]:
        fill = ALTGR_KEY_FILL
    elif altgr and visible(altgr.code) and chr(altgr.code).isalpha():
        fill = POLISH_KEY_FILL
    else:
        fill = KEY_FILL
    out = ['<g class="key" data-sc="%04X" data-vk="%s">' % (key.scancode, _attr(VK_BY_VALUE.get(vk, "none")))]
    out.append('<rect x="%s" y="%s" width="%s" height="%s" rx="5" fill="%s" stroke="%s"/>'
               % (_number(x), _number(y), _number(w), _number(h), fill, KEY_STROKE))
    top, bottom = y + 20, y + h - 9
    left, right = x + 6, x + w - 6
    places = {
        "shift": (left, top, "start", INK),
        "base": (left, bottom, "start", INK),
        "shift-altgr": (right, top, "end", ALTGR_INK),
        "altgr": (right, bottom, "end", ALTGR_INK),
    }
    if key.name:
        out.append('<text class="name" x="%s" y="%s" font-size="11" fill="%s">%s</text>'
                   % (_number(left), _number(bottom), NAME_INK, html.escape(key.name)))
    for name, (tx, ty, anchor, ink) in places.items():
        cell = cells[name]
        if cell is None or not visible(cell.code):
            continue
        small = cell.code == NBSP
        text = phrase("nbsp") if small else chr(cell.code)
        classes = name + (" dead" if cell.dead else "")
        if cell.dead:
            bx = tx - 3 if anchor == "start" else tx - 14
            out.append('<rect x="%s" y="%s" width="17" height="21" rx="3" fill="%s"/>'
                       % (_number(bx), _number(ty - 16), DEAD_FILL))
        anchor_attr = ' text-anchor="end"' if anchor == "end" else ""
        size_attr = ' font-size="10"' if small else ""
        ink_attr = ' fill="%s"' % ink if ink != INK else ""
        hint = "<title>%s</title>" % html.escape(phrase("dead")) if cell.dead else ""
        out.append('<text class="%s" x="%s" y="%s"%s%s%s data-char="U+%04X">%s%s</text>'
                   % (classes, _number(tx), _number(ty), anchor_attr, size_attr, ink_attr, cell.code,
                      hint, html.escape(text)))
    out.append("</g>")
    return "".join(out)


def legend_svg(model, langs, phrases, dead):
    """One key drawn large (the A key), its four corners named."""
    def phrase(name):
        return " / ".join(dict.fromkeys(phrases[name][lang] for lang in langs))

    vk_a = gen_layout.VK_NAMES["A"]
    row = model.rows[vk_a]
    # Room on the left for the longest label, in both languages if asked.
    kx = 130 + 110 * (len(langs) - 1)
    ky, kw, kh = 4, 92, 76
    width = kx + kw + 110 + (160 if dead else 0)
    out = ['<svg xmlns="http://www.w3.org/2000/svg" class="legend" role="img" width="%d" height="84" '
           'viewBox="0 0 %d 84" aria-label="%s">' % (width, width, _attr(phrase("legend-title")))]
    out.append("<title>%s</title>" % html.escape(phrase("legend-title")))
    out.append('<g font-family="%s" font-size="13" fill="%s">' % (FONT, INK))
    out.append('<rect x="%d" y="%d" width="%d" height="%d" rx="6" fill="%s" stroke="%s"/>'
               % (kx, ky, kw, kh, POLISH_KEY_FILL, KEY_STROKE))
    corners = (
        (SHIFT, kx + 9, ky + 28, "start", INK),
        (BASE, kx + 9, ky + kh - 12, "start", INK),
        (SHIFT_ALTGR, kx + kw - 9, ky + 28, "end", ALTGR_INK),
        (ALTGR, kx + kw - 9, ky + kh - 12, "end", ALTGR_INK),
    )
    for state, tx, ty, anchor, ink in corners:
        out.append('<text x="%d" y="%d" font-size="22" fill="%s"%s>%s</text>'
                   % (tx, ty, ink, ' text-anchor="end"' if anchor == "end" else "",
                      html.escape(chr(row[state].code))))
    labels = (
        ("legend-shift", kx - 10, ky + 26, "end", INK),
        ("legend-base", kx - 10, ky + kh - 14, "end", INK),
        ("legend-shift-altgr", kx + kw + 10, ky + 26, "start", ALTGR_INK),
        ("legend-altgr", kx + kw + 10, ky + kh - 14, "start", ALTGR_INK),
    )
    for name, tx, ty, anchor, ink in labels:
        out.append('<text x="%d" y="%d" fill="%s"%s>%s</text>'
                   % (tx, ty, ink, ' text-anchor="end"' if anchor == "end" else "", html.escape(phrase(name))))
    if dead:
        out.append('<rect x="%d" y="%d" width="17" height="21" rx="3" fill="%s"/>' % (width - 130, ky + 30, DEAD_FILL))
        out.append('<text x="%d" y="%d" font-size="15">%s</text>' % (width - 127, ky + 46, html.escape(chr(dead))))
        out.append('<text x="%d" y="%d">%s</text>' % (width - 106, ky + 45, html.escape(phrase("dead"))))
    out.append("</g></svg>")
    return "".join(out)


# ---- Tables ----

def _kbd(text):
    return "<kbd>%s</kbd>" % html.escape(text)


def drawn_vks(model, keyboard):
    """Virtual keys in the order the picture draws them."""
    order = []
    for row in keyboard:
        for key in row:
            vk = model.vk(key.scancode)
            if vk is not None and vk not in order:
                order.append(vk)
    return order


def altgr_rows(model, keyboard):
    """(vk, AltGr cell, Shift+AltGr cell) of every key with AltGr characters:
    the letters in alphabetical order of their keys, then the other
    characters in picture order, keys the picture leaves out last."""
    order = drawn_vks(model, keyboard)
    order += [vk for vk in model.rows if vk not in order]
    letters, others = [], []
    for vk in order:
        row = model.rows.get(vk)
        if not row:
            continue
        cells = [row[ALTGR], row[SHIFT_ALTGR]]
        if any(c is not None and c.code is not None and c.code >= 0x20 for c in cells):
            letter = cells[0] is not None and cells[0].code is not None and chr(cells[0].code).isalpha()
            (letters if letter else others).append((vk, cells[0], cells[1]))
    return sorted(letters, key=lambda r: r[0]) + others


def is_capital_of(capital, small):
    return small is not None and capital is not None and small.code is not None and capital.code is not None \
        and chr(small.code).upper() == chr(capital.code) and capital.code != small.code


def describe(code, names, lang, where):
    if code not in names:
        raise DocumentError("characters.txt gives no name for U+%04X (%s)" % (code, where))
    return names[code][lang]


def altgr_table(model, keyboard, lang, phrases, names, compact):
    head = [phrases["key"][lang], phrases["altgr"][lang], phrases["shift-altgr"][lang]]
    if compact:
        head = ["/".join(phrases["key"][l] for l in LANGUAGES), head[1], head[2]]
    else:
        head.append(phrases["character"][lang])
    out = ['<table class="altgr"><tr>%s</tr>' % "".join("<th>%s</th>" % html.escape(h) for h in head)]
    for vk, altgr, shift_altgr in altgr_rows(model, keyboard):
        caption = key_caption(model, vk, lang, phrases) if not compact else \
            " / ".join(dict.fromkeys(key_caption(model, vk, l, phrases) for l in LANGUAGES))
        cells = []
        for cell in (altgr, shift_altgr):
            if cell is None or cell.code is None:
                cells.append("")
            elif cell.code == NBSP:
                text = phrases["nbsp"][lang] if not compact else " / ".join(phrases["nbsp"][l] for l in LANGUAGES)
                cells.append('<span class="named">%s</span>' % html.escape(text))
            else:
                cells.append('<span class="char">%s</span>' % html.escape(chr(cell.code)))
        line = "<tr><td>%s</td><td>%s</td><td>%s</td>" % (_kbd(caption), cells[0], cells[1])
        if not compact:
            where = "AltGr+" + caption
            parts = []
            if altgr is not None and altgr.code is not None:
                parts.append(describe(altgr.code, names, lang, where))
            if shift_altgr is not None and shift_altgr.code is not None and not is_capital_of(shift_altgr, altgr) \
                    and (altgr is None or shift_altgr.code != altgr.code):
                parts.append(describe(shift_altgr.code, names, lang, "Shift+" + where))
            line += "<td>%s</td>" % html.escape("; ".join(parts))
        out.append(line + "</tr>")
    out.append("</table>")
    return "\n".join(out)


def dead_pairs(layout):
    """(dead character, dead key vk, state, [(base, composed)]) of the
    alternative set."""
    result = []
    for vk, state, dead in layout.alternative:
        result.append((dead, vk, state, layout.dead[dead][1]))
    if not result:
        raise DocumentError("the alternative set has no dead key to describe")
    return result


def dead_key_text(model, layout, lang, phrases):
    """The dead key as it is pressed: Shift+` ."""
    parts = []
    for _, vk, state, _ in dead_pairs(layout):
        keys = []
        if state in (gen_layout.STATES.index("shift"), gen_layout.STATES.index("shift+altgr")):
            keys.append(_kbd("Shift"))
        if state >= gen_layout.STATES.index("altgr"):
            keys.append(_kbd("AltGr"))
        keys.append(_kbd(key_caption(model, vk, lang, phrases)))
        parts.append("+".join(keys))
    return ", ".join(parts)


def dead_table(layout, lang, phrases):
    out = []
    for dead, _, _, pairs in dead_pairs(layout):
        bases = []
        for base, _ in pairs:
            if base == 0x20:
                bases.append(_kbd(phrases["space"][lang]))
            else:
                bases.append(_kbd(chr(base)))
        out.append('<table class="dead"><tr><th>%s %s</th>%s</tr>'
                   % (html.escape(phrases["dead-then"][lang]), html.escape(chr(dead)),
                      "".join("<td>%s</td>" % b for b in bases)))
        out.append('<tr><th>%s</th>%s</tr></table>'
                   % (html.escape(phrases["dead-gives"][lang]),
                      "".join('<td><span class="char">%s</span></td>' % html.escape(chr(c)) for _, c in pairs)))
    return "\n".join(out)


def dead_line(layout):
    """The compositions on one line: ~a ą · ~c ć ..."""
    parts = []
    for dead, _, _, pairs in dead_pairs(layout):
        for base, composed in pairs:
            if base == 0x20:
                continue
            if chr(base).isupper() and any(chr(b) == chr(base).lower() for b, _ in pairs):
                continue
            parts.append("%s%s&#8201;→&#8201;%s" % (html.escape(chr(dead)), html.escape(chr(base)),
                                                   html.escape(chr(composed))))
    return " · ".join(parts)


def rows_table(model, keyboard, lang, phrases):
    """The character keys row by row, as text (for readers without pictures)."""
    out = ['<table class="rows" data-family="%d">' % model.family]
    for number, row in enumerate(keyboard, 1):
        chars = []
        for key in row:
            cell = model.cell(key.scancode, BASE)
            if key.name or cell is None or not visible(cell.code):
                continue
            text = chr(cell.code)
            if model.attributes.get(model.vk(key.scancode), 0) & gen_layout.ATTR_CAPS:
                text = text.upper()
            chars.append(text)
        if not chars:
            continue
        name = phrases.get("row%d" % number, {}).get(lang, "")
        out.append("<tr><th>%s</th>%s</tr>" % (html.escape(name), "".join("<td>%s</td>" % html.escape(c) for c in chars)))
    out.append("</table>")
    return "\n".join(out)


def caps_altgr_letters(model, keyboard):
    letters = []
    for vk, altgr, _ in altgr_rows(model, keyboard):
        if model.attributes.get(vk, 0) & gen_layout.ATTR_CAPS_ALTGR and altgr is not None and altgr.code:
            letters.append(html.escape(chr(altgr.code)))
    return ", ".join(letters)


# ---- Templates ----

class Generator:
    def __init__(self, layout, strings, sources):
        self.layout = layout
        self.strings = strings
        self.sources = sources
        self.keyboard = read_keyboard(os.path.join(sources, "keyboard.txt"))
        self.phrases = read_phrases(os.path.join(sources, "phrases.txt"))
        self.names = read_character_names(os.path.join(sources, "characters.txt"))
        self.models = {(f, s): KeyboardModel(layout, f, s) for f in gen_layout.FAMILIES for s in gen_layout.SETS}
        drawn = {k.scancode for row in self.keyboard for k in row}
        known = {s for s, _, _ in layout.scancodes}
        missing = sorted(drawn - known)
        if missing:
            raise DocumentError("keyboard.txt draws keys the layout does not have: %s"
                                % " ".join("%02X" % s for s in missing))

    def render(self, template, lang="en", depth=0):
        if depth > 4:
            raise DocumentError("%s: templates include each other too deeply" % template)
        path = os.path.join(self.sources, template)
        text = read_text(path)
        match = re.search(r"\.(en|pl)\.html$", template)
        if match:
            lang = match.group(1)

        def replace(m):
            line = text.count("\n", 0, m.start()) + 1
            words = m.group(1).split()
            try:
                return self.placeholder(words, lang, depth)
            except DocumentError as e:
                raise DocumentError("%s:%d: %s" % (path, line, e))
            except (ValueError, IndexError, KeyError):
                raise DocumentError("%s:%d: bad placeholder {{%s}}" % (path, line, m.group(1)))

        pattern = r"\{\{([^{}]*)\}\}"
        stray = re.search(r"\{\{|\}\}", re.sub(pattern, "", text))
        if stray:
            raise DocumentError("%s:%d: unbalanced placeholder braces"
                                % (path, text.count("\n", 0, stray.start()) + 1))
        return re.sub(pattern, replace, text)

    def model(self, words, first=1):
        return self.models[(int(words[first]), int(words[first + 1]))]

    def placeholder(self, words, lang, depth):
        """PLACEHOLDERS:
        include FILE          another template (its own language if named so)
        css FILE              a style sheet's text
        ui ID [ARG_ID...]     a text of the program, its %s filled with other texts
        label ID [ARG_ID...]  the same without a closing colon (a control's label)
        keyboard F S [both]   picture of family F, set S (both: labels in both languages)
        legend [dead] [both]  how to read a key
        rows F                the character keys of family F as a text table
        altgr-table [compact] the AltGr characters (compact: both languages, no names)
        dead-key              the dead key of the alternative set (Shift+`)
        dead-table            what the dead key composes
        dead-line             the same on one line
        caps-altgr            the AltGr letters that Caps Lock turns into capitals
        decimal               what the keypad's decimal key types as built
        """
        name, args = words[0], words[1:]
        both = "both" in args
        langs = LANGUAGES if both else (lang,)
        if name == "include":
            return self.render(args[0], lang, depth + 1)
        if name == "css":
            return read_text(os.path.join(self.sources, args[0])).strip()
        if name in ("ui", "label"):
            text = self.strings.formatted(int(args[0]), [int(a) for a in args[1:]], lang)
            if name == "label":
                text = text.rstrip().rstrip(":")
            return html.escape(text)
        if name == "keyboard":
            return keyboard_svg(self.model(words), self.keyboard, langs, self.phrases)
        if name == "legend":
            dead = dead_pairs(self.layout)[0][0] if "dead" in args else None
            return legend_svg(self.models[(0, 0)], langs, self.phrases, dead)
        if name == "rows":
            return rows_table(self.models[(int(args[0]), 0)], self.keyboard, lang, self.phrases)
        if name == "altgr-table":
            return altgr_table(self.models[(0, 0)], self.keyboard, lang, self.phrases, self.names,
                               "compact" in args)
        if name == "dead-key":
            return dead_key_text(self.models[(0, 1)], self.layout, lang, self.phrases)
        if name == "dead-table":
            return dead_table(self.layout, lang, self.phrases)
        if name == "dead-line":
            return dead_line(self.layout)
        if name == "caps-altgr":
            return caps_altgr_letters(self.models[(0, 0)], self.keyboard)
        if name == "decimal":
            return html.escape(chr(self.models[(0, 0)].decimal))
        raise DocumentError("unknown placeholder {{%s}}" % " ".join(words))


# ---- Sizes ----

def packed_size(data):
    """Stored bytes of the payload item that carries data."""
    compressor = zlib.compressobj(DEFLATE_LEVEL, zlib.DEFLATED, -zlib.MAX_WBITS, DEFLATE_MEM_LEVEL)
    stream = compressor.compress(data) + compressor.flush()
    return (ITEM_HEADER_SIZE + len(stream) + 7) & ~7


def parse_limits(values):
    limits = {}
    known = [name for name, _, _ in DOCUMENTS]
    for value in values or []:
        name, _, number = value.partition("=")
        if name not in known or not number.isdigit():
            raise DocumentError("--limit takes NAME=BYTES with NAME one of %s: %s" % (", ".join(known), value))
        limits[name] = int(number)
    return limits


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--layout", required=True)
    parser.add_argument("--strings", required=True)
    parser.add_argument("--sources", required=True)
    parser.add_argument("--out-dir", required=True)
    parser.add_argument("--limit", action="append")
    args = parser.parse_args(argv)
    try:
        limits = parse_limits(args.limit)
        layout = gen_layout.load_layout(args.layout)
        generator = Generator(layout, Strings(args.strings), args.sources)
        os.makedirs(args.out_dir, exist_ok=True)
        for name, template, output in DOCUMENTS:
            data = generator.render(template).encode("utf-8")
            path = os.path.join(args.out_dir, output)
            stored = packed_size(data)
            if name in limits and stored > limits[name]:
                if os.path.exists(path):
                    os.remove(path)
                raise DocumentError("%s is too big: packed it needs %d stored bytes, its item holds %d "
                                    "(%d bytes of HTML); make it smaller"
                                    % (output, stored, limits[name], len(data)))
            with open(path, "wb") as f:
                f.write(data)
            print("gen_documents: %s: %d bytes, %d packed%s"
                  % (output, len(data), stored, " of %d" % limits[name] if name in limits else ""))
    except (DocumentError, gen_layout.LayoutError) as e:
        print("gen_documents: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Checks that setup programs carry none of their string-table texts in
plain form: every registry path and every message of the string table
sources is looked for in each executable as UTF-16LE and as UTF-8.

Texts that a resource script holds (dialog captions, the version block)
are in the executable by design and are left out.

usage: check-no-plain-texts.py --exe FILE... --strings FILE... [--resources FILE...]
"""

import argparse
import sys

ESCAPES = {"n": "\n", "t": "\t", "\\": "\\"}
MIN_MESSAGE_WORDS = 4
MIN_LENGTH = 12
PE_STUB_TEXT = "This program cannot be run in DOS mode"


def read_texts(path):
    texts = []
    with open(path, encoding="utf-8-sig") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#") or "\t" not in line:
                continue
            number, raw = line.split("\t", 1)
            text, i = "", 0
            while i < len(raw):
                if raw[i] == "\\" and i + 1 < len(raw) and raw[i + 1] in ESCAPES:
                    text += ESCAPES[raw[i + 1]]
                    i += 2
                else:
                    text += raw[i]
                    i += 1
            texts.append((path, number, text))
    return texts


def kind(text):
    if len(text) < MIN_LENGTH:
        return None
    if "\\" in text:
        return "path"
    if len(text.split()) >= MIN_MESSAGE_WORDS:
        return "message"
    return None


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--exe", nargs="+", required=True)
    p.add_argument("--strings", nargs="+", required=True)
    p.add_argument("--resources", nargs="*", default=[])
    a = p.parse_args()

    resource_text = ""
    for path in a.resources:
        with open(path, encoding="utf-8", errors="replace") as f:
            resource_text += f.read().replace("\\\\", "\\")

    candidates = []
    for path in a.strings:
        for source, number, text in read_texts(path):
            k = kind(text)
            if k and text not in resource_text:
                candidates.append((k, source, number, text))
    paths = sum(1 for c in candidates if c[0] == "path")
    messages = sum(1 for c in candidates if c[0] == "message")
    if paths == 0 or messages == 0:
        print(f"FAIL: too few texts to look for ({paths} paths, {messages} messages)")
        return 1

    failed = 0
    for exe in a.exe:
        try:
            with open(exe, "rb") as f:
                data = f.read()
        except OSError as e:
            print(f"FAIL: {exe}: {e}")
            failed = 1
            continue
        # The search itself must work: the PE stub's text is always there.
        if PE_STUB_TEXT.encode("ascii") not in data:
            print(f"FAIL: {exe}: not a PE file, or the search does not work")
            failed = 1
            continue
        found = 0
        for k, source, number, text in candidates:
            for encoding in ("utf-16-le", "utf-8"):
                if text.encode(encoding) in data:
                    print(f"FAIL: {exe} holds the {k} of id {number} ({source}) {text!r} as plain {encoding}")
                    found += 1
        if found:
            failed = 1
        else:
            print(f"{exe}: none of {paths} paths and {messages} messages in plain UTF-16LE or UTF-8")
    return failed


if __name__ == "__main__":
    sys.exit(main())

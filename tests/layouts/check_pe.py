#!/usr/bin/env python3
"""PE checks of the built layout libraries of one processor, read with
objdump: the machine, a DLL whose only export is KbdLayerDescriptor, no
entry point, no import table, no TLS, relocations present, no sections
beyond code, data, exports, resources and relocations, and the resources
(the version block and string 1000 with the layout's name).

    check_pe.py --objdump OBJDUMP --layouts DIR --arch i686|x86_64
"""

import argparse
import os
import re
import subprocess
import sys

ARCHES = {
    "i686": {"format": "pei-i386", "architecture": "i386", "magic": "010b"},
    "x86_64": {"format": "pei-x86-64", "architecture": "i386:x86-64", "magic": "020b"},
}
ALLOWED_SECTIONS = {".text", ".data", ".edata", ".rsrc", ".reloc"}
LAYOUT_NAME = "Polish (Klawisz)"


def objdump(tool, *args):
    run = subprocess.run([tool] + list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if run.returncode:
        raise RuntimeError("%s %s failed:\n%s" % (tool, " ".join(args), run.stdout))
    return run.stdout


def directory_entry(private, index):
    match = re.search(r"^Entry %x ([0-9a-f]+) ([0-9a-f]+)" % index, private, re.M)
    if not match:
        return None
    return int(match.group(1), 16), int(match.group(2), 16)


def check_library(tool, path, arch):
    expected = ARCHES[arch]
    problems = []
    header = objdump(tool, "-f", path)
    private = objdump(tool, "-p", path)
    sections = objdump(tool, "-h", path)

    def need(condition, message):
        if not condition:
            problems.append(message)

    need("file format %s" % expected["format"] in header, "not a %s image" % expected["format"])
    need(re.search(r"^architecture: %s," % re.escape(expected["architecture"]), header, re.M),
         "machine is not %s" % expected["architecture"])
    need(re.search(r"^Magic\s+%s" % expected["magic"], private, re.M), "optional header magic is not %s" % expected["magic"])
    need(re.search(r"^Characteristics .*\n(\t.*\n)*\tDLL$", private, re.M), "not marked as a DLL")
    need(re.search(r"^AddressOfEntryPoint\s+0+$", private, re.M), "has an entry point")

    exports = re.findall(r"^\t\[\s*\d+\] (\S+)$", private.split("[Ordinal/Name Pointer] Table", 1)[-1], re.M) \
        if "[Ordinal/Name Pointer] Table" in private else []
    need(exports == ["KbdLayerDescriptor"], "exports %s instead of KbdLayerDescriptor alone" % exports)
    need(re.search(r"^Name\s+[0-9a-f]+ kbdklwsz\.dll$", private, re.M), "export directory does not name kbdklwsz.dll")

    need(directory_entry(private, 1) == (0, 0), "has an import directory")
    need("There is an import table" not in private, "has an import table")
    need(directory_entry(private, 9) == (0, 0), "has a TLS directory")
    need(directory_entry(private, 0xC) == (0, 0), "has an import address table")
    need(directory_entry(private, 0xD) == (0, 0), "has delay imports")
    reloc = directory_entry(private, 5)
    need(reloc is not None and reloc[1] > 0, "has no base relocation directory")
    kind = "HIGHLOW" if arch == "i686" else "DIR64"
    need(re.search(r"\] %s$" % kind, private, re.M), "has no %s relocations" % kind)
    resources = directory_entry(private, 2)
    need(resources is not None and resources[1] > 0, "has no resource directory")

    names = re.findall(r"^\s+\d+ (\S+)\s+[0-9a-f]+\s+[0-9a-f]+\s+[0-9a-f]+\s+([0-9a-f]+)", sections, re.M)
    found = {name for name, _ in names}
    need(found <= ALLOWED_SECTIONS, "has sections %s" % sorted(found - ALLOWED_SECTIONS))
    need({".text", ".data", ".rsrc", ".reloc", ".edata"} <= found, "lacks some of .text .data .edata .rsrc .reloc")

    # Resource contents: the layout's name and the version block, as UTF-16.
    rsrc = re.search(r"^\s+\d+ \.rsrc\s+([0-9a-f]+)\s+[0-9a-f]+\s+[0-9a-f]+\s+([0-9a-f]+)", sections, re.M)
    if rsrc:
        size, offset = int(rsrc.group(1), 16), int(rsrc.group(2), 16)
        with open(path, "rb") as f:
            f.seek(offset)
            data = f.read(size)
        need(LAYOUT_NAME.encode("utf-16-le") in data, "resources lack the layout's name")
        need("VS_VERSION_INFO".encode("utf-16-le") in data, "resources lack the version block")
        need("1.9.0.0".encode("utf-16-le") in data, "version block does not say 1.9.0.0")
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--layouts", required=True)
    parser.add_argument("--arch", choices=sorted(ARCHES), required=True)
    args = parser.parse_args(argv)
    failures = 0
    for alt_set in (0, 1):
        for family in (0, 1, 2):
            path = os.path.join(args.layouts, "set%d" % alt_set, "family%d" % family, args.arch, "kbdklwsz.dll")
            if not os.path.exists(path):
                print("FAIL %s: missing" % path)
                failures += 1
                continue
            try:
                problems = check_library(args.objdump, path, args.arch)
            except RuntimeError as e:
                problems = [str(e).strip()]
            for problem in problems:
                print("FAIL %s: %s" % (path, problem))
            failures += bool(problems)
    print("%d of 6 %s libraries pass the PE checks" % (6 - failures, args.arch))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

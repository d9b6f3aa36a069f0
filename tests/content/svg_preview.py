#!/usr/bin/env python3
"""Renders the SVG pictures of a generated document to PNG files, to look
at them without a browser. ImageMagick here has no SVG reader, so each
picture is translated into ImageMagick's own drawing language (MVG): the
generator draws only rectangles and text, which MVG draws the same way.

    svg_preview.py DOCUMENT.html OUT_DIR [--scale N]

Writes OUT_DIR/<document>-<n>.svg (the picture as it is in the document)
and OUT_DIR/<document>-<n>.png.
"""

import argparse
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
FONT = "DejaVu-Sans"


def quoted(text):
    text = text.replace("\\", "\\\\")
    if '"' not in text:
        return '"%s"' % text
    return "'%s'" % text.replace("'", "\\'")


def text_of(element):
    """The element's own text, without its <title>."""
    parts = [element.text or ""]
    for child in element:
        if child.tag != SVG + "title":
            parts.append(text_of(child))
        parts.append(child.tail or "")
    return "".join(parts)


def draw(element, style, out):
    style = dict(style)
    for name in ("fill", "stroke", "font-size", "text-anchor"):
        if name in element.attrib:
            style[name] = element.attrib[name]
    tag = element.tag[len(SVG):] if element.tag.startswith(SVG) else element.tag
    if tag == "rect":
        x, y = float(element.get("x", 0)), float(element.get("y", 0))
        w, h = float(element.get("width")), float(element.get("height"))
        r = float(element.get("rx", 0))
        out.append("push graphic-context fill '%s' stroke '%s' stroke-width 1"
                   % (style.get("fill", "black"), element.get("stroke", "none")))
        out.append("roundrectangle %g,%g %g,%g %g,%g" % (x, y, x + w, y + h, r, r))
        out.append("pop graphic-context")
    elif tag == "text":
        anchor = style.get("text-anchor", "start")
        out.append("push graphic-context font '%s' font-size %s fill '%s' stroke none text-anchor %s"
                   % (FONT, style.get("font-size", "15"), style.get("fill", "black"), anchor))
        out.append("text %s,%s %s" % (element.get("x"), element.get("y"), quoted(text_of(element))))
        out.append("pop graphic-context")
    elif tag in ("svg", "g"):
        for child in element:
            draw(child, style, out)


def render(svg_text, png_path, scale):
    root = ET.fromstring(svg_text)
    _, _, width, height = (float(v) for v in root.get("viewBox").split())
    out = ["viewbox 0 0 %d %d" % (width * scale, height * scale),
           "fill white rectangle 0,0 %d,%d" % (width * scale, height * scale),
           "affine %g 0 0 %g 0 0" % (scale, scale)]
    draw(root, {}, out)
    mvg_path = png_path[:-4] + ".mvg"
    with open(mvg_path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    subprocess.run(["convert", "mvg:" + mvg_path, png_path], check=True)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("document")
    parser.add_argument("out_dir")
    parser.add_argument("--scale", type=float, default=1.0)
    args = parser.parse_args(argv)
    with open(args.document, encoding="utf-8") as f:
        text = f.read()
    os.makedirs(args.out_dir, exist_ok=True)
    base = os.path.splitext(os.path.basename(args.document))[0]
    for number, svg in enumerate(re.findall(r"<svg\b.*?</svg>", text, re.S)):
        path = os.path.join(args.out_dir, "%s-%02d" % (base, number))
        with open(path + ".svg", "w", encoding="utf-8") as f:
            f.write(svg)
        render(svg, path + ".png", args.scale)
        print(path + ".png")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Draws the program's two icons, a keyboard key cap with the letter K, and
writes them as .ico files with 16, 24, 32 and 48 pixel images.

  header.ico   resource 128, drawn in the wizard's header band: a key cap in
               front of a second, smaller one, as on a keyboard
  program.ico  resource 129, the window's own icon: a single key cap

The drawing is procedural (shapes described by distance functions, 8 x 8
samples per pixel), so the output is the same bytes on every run.

  make_icons.py OUTDIR          write both files into OUTDIR
  make_icons.py --check DIR     exit 1 unless DIR holds exactly what would be written
"""

import math
import struct
import sys

SIZES = (16, 24, 32, 48)
SAMPLES = 8

# Colours as (r, g, b).
BASE = (46, 62, 82)        # the key's lower edge and outline
SIDE = (104, 122, 143)     # the slanted sides
TOP_LIGHT = (250, 251, 252)
TOP_DARK = (214, 221, 229)
LETTER = (28, 84, 160)
BACK_SIDE = (138, 152, 168)
BACK_TOP = (226, 231, 236)


def rounded_box(x, y, left, top, right, bottom, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx = (left + right) / 2.0
    cy = (top + bottom) / 2.0
    hx = (right - left) / 2.0 - radius
    hy = (bottom - top) / 2.0 - radius
    dx = abs(x - cx) - hx
    dy = abs(y - cy) - hy
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    inside = min(max(dx, dy), 0.0)
    return outside + inside - radius


def segment(x, y, ax, ay, bx, by):
    """Distance to the segment a-b."""
    vx, vy = bx - ax, by - ay
    wx, wy = x - ax, y - ay
    t = max(0.0, min(1.0, (wx * vx + wy * vy) / (vx * vx + vy * vy)))
    return math.hypot(wx - t * vx, wy - t * vy)


def key_layers(left, top, right, bottom, side, top_colours):
    """A key cap in the unit square: outline, sides, top face (as layers)."""
    w = right - left
    h = bottom - top
    r = 0.16 * min(w, h)
    inset = 0.13 * w
    face = (left + inset, top + 0.06 * h, right - inset, bottom - 0.24 * h)
    light, dark = top_colours

    def outline(x, y):
        return rounded_box(x, y, left, top, right, bottom, r)

    def body(x, y):
        return rounded_box(x, y, left + 0.035 * w, top + 0.035 * h, right - 0.035 * w, bottom - 0.035 * h, r * 0.8)

    def top_face(x, y):
        return rounded_box(x, y, face[0], face[1], face[2], face[3], r * 0.6)

    def top_colour(x, y):
        t = min(1.0, max(0.0, (y - face[1]) / (face[3] - face[1])))
        return tuple(light[i] + (dark[i] - light[i]) * t for i in range(3))

    return [(outline, lambda x, y: BASE), (body, lambda x, y: side), (top_face, top_colour)], face


def letter_k(face, weight):
    left, top, right, bottom = face
    w = right - left
    h = bottom - top
    x0 = left + 0.30 * w
    x1 = left + 0.74 * w
    y0 = top + 0.18 * h
    y1 = bottom - 0.18 * h
    ym = (y0 + y1) / 2.0
    xj = x0 + 0.05 * w

    def shape(x, y):
        d = min(segment(x, y, x0, y0, x0, y1),
                segment(x, y, xj, ym + 0.02 * h, x1, y0),
                segment(x, y, xj + 0.06 * w, ym - 0.04 * h, x1, y1))
        return d - weight

    return (shape, lambda x, y: LETTER)


def program_drawing():
    layers, face = key_layers(0.06, 0.06, 0.94, 0.94, SIDE, (TOP_LIGHT, TOP_DARK))
    layers.append(letter_k(face, 0.055))
    return layers


def header_drawing():
    back, _ = key_layers(0.42, 0.02, 0.98, 0.58, BACK_SIDE, (BACK_TOP, BACK_TOP))
    front, face = key_layers(0.02, 0.30, 0.72, 0.98, SIDE, (TOP_LIGHT, TOP_DARK))
    layers = back + front
    layers.append(letter_k(face, 0.05))
    return layers


def render(layers, size):
    """RGBA rows, top row first. Each layer paints over the ones before it."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied colour and alpha
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for shape, paint in layers:
                        if shape(x, y) <= 0.0:
                            colour = paint(x, y)
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1.0
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if acc[3] > 0:
                rgb = [int(round(acc[i] / acc[3])) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], int(round(alpha * 255))))
        rows.append(row)
    return rows


def dib(rows):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA pixels and the AND mask,
    both bottom-up."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def icon_file(layers):
    images = [dib(render(layers, size)) for size in SIZES]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


ICONS = (('header.ico', header_drawing), ('program.ico', program_drawing))


def main(argv):
    check = len(argv) == 3 and argv[1] == '--check'
    if not check and len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    folder = argv[-1]
    status = 0
    for name, drawing in ICONS:
        data = icon_file(drawing())
        path = folder + '/' + name
        if check:
            try:
                with open(path, 'rb') as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                sys.stderr.write('%s: differs from what make_icons.py draws\n' % path)
                status = 1
        else:
            with open(path, 'wb') as f:
                f.write(data)
    return status


if __name__ == '__main__':
    sys.exit(main(sys.argv))

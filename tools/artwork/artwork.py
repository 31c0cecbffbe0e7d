#!/usr/bin/env python3
"""Draws Ombrix's pictures from nothing but this file: the main window's skin, the tray
icons, the window icon, the about box picture and the OK button's glyph.

    artwork.py OUTDIR [--preview PNG] [--convert PROGRAM]

Everything is drawn from shapes given by signed distance (negative inside), so edges are
smoothed without a graphics library, and the lettering comes from the pixel font below, so
no installed font can change a picture. The same run always writes the same bytes. Only the
JPEG needs a program of the system (ImageMagick's convert), as Python cannot write one.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

# ---------------------------------------------------------------------------------------
# Pixel font: 7 rows from cap height to the baseline, then 2 rows of descenders.
# ---------------------------------------------------------------------------------------

_GLYPHS = {
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'B': ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    'C': [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    'D': ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    'E': ["####", "#...", "#...", "###.", "#...", "#...", "####"],
    'F': ["####", "#...", "#...", "###.", "#...", "#...", "#..."],
    'G': [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    'H': ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'I': ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    'J': ["...#", "...#", "...#", "...#", "...#", "#..#", ".##."],
    'K': ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    'L': ["#...", "#...", "#...", "#...", "#...", "#...", "####"],
    'M': ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    'N': ["#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#"],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'P': ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    'Q': [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'S': [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    'T': ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    'U': ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'V': ["#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    'W': ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    'X': ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    'Y': ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    'Z': ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    'a': ["", "", ".##.", "...#", ".###", "#..#", ".###"],
    'b': ["#...", "#...", "###.", "#..#", "#..#", "#..#", "###."],
    'c': ["", "", ".###", "#...", "#...", "#...", ".###"],
    'd': ["...#", "...#", ".###", "#..#", "#..#", "#..#", ".###"],
    'e': ["", "", ".##.", "#..#", "####", "#...", ".###"],
    'f': [".##", "#..", "###", "#..", "#..", "#..", "#.."],
    'g': ["", "", ".###", "#..#", "#..#", "#..#", ".###", "...#", ".##."],
    'h': ["#...", "#...", "###.", "#..#", "#..#", "#..#", "#..#"],
    'i': ["#", "", "#", "#", "#", "#", "#"],
    'j': [".#", "", ".#", ".#", ".#", ".#", ".#", ".#", "#."],
    'k': ["#...", "#...", "#..#", "#.#.", "##..", "#.#.", "#..#"],
    'l': ["#.", "#.", "#.", "#.", "#.", "#.", ".#"],
    'm': ["", "", "####.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    'n': ["", "", "###.", "#..#", "#..#", "#..#", "#..#"],
    'o': ["", "", ".##.", "#..#", "#..#", "#..#", ".##."],
    'p': ["", "", "###.", "#..#", "#..#", "#..#", "###.", "#...", "#..."],
    'q': ["", "", ".###", "#..#", "#..#", "#..#", ".###", "...#", "...#"],
    'r': ["", "", "#.##", "##..", "#...", "#...", "#..."],
    's': ["", "", ".###", "#...", ".##.", "...#", "###."],
    't': ["", ".#.", "###", ".#.", ".#.", ".#.", "..#"],
    'u': ["", "", "#..#", "#..#", "#..#", "#..#", ".###"],
    'v': ["", "", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    'w': ["", "", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    'x': ["", "", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    'y': ["", "", "#..#", "#..#", "#..#", "#..#", ".###", "...#", ".##."],
    'z': ["", "", "####", "..#.", ".#..", "#...", "####"],
    '0': [".##.", "#..#", "#.##", "##.#", "#..#", "#..#", ".##."],
    '1': [".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"],
    '2': [".##.", "#..#", "...#", "..#.", ".#..", "#...", "####"],
    '3': ["###.", "...#", "...#", ".##.", "...#", "...#", "###."],
    '4': ["#..#", "#..#", "#..#", "####", "...#", "...#", "...#"],
    '5': ["####", "#...", "#...", "###.", "...#", "...#", "###."],
    '6': [".##.", "#...", "#...", "###.", "#..#", "#..#", ".##."],
    '7': ["####", "...#", "...#", "..#.", ".#..", ".#..", ".#.."],
    '8': [".##.", "#..#", "#..#", ".##.", "#..#", "#..#", ".##."],
    '9': [".##.", "#..#", "#..#", ".###", "...#", "...#", ".##."],
    ' ': ["...", "", "", "", "", "", ""],
    '.': ["", "", "", "", "", "", "#"],
    ',': ["", "", "", "", "", "", ".#", "#."],
    '-': ["", "", "", "###", "", "", ""],
    ':': ["", "", "#", "", "", "#", ""],
    '+': ["", "", ".#.", "###", ".#.", "", ""],
    '/': ["..#", "..#", ".#.", ".#.", ".#.", "#..", "#.."],
    '(': [".#", "#.", "#.", "#.", "#.", "#.", ".#"],
    ')': ["#.", ".#", ".#", ".#", ".#", ".#", "#."],
    '!': ["#", "#", "#", "#", "#", "", "#"],
}

GLYPH_ROWS = 9
CAP_HEIGHT = 7


def _glyph(ch):
    rows = _GLYPHS[ch]
    width = max(len(r) for r in rows)
    return width, [r.ljust(width, '.') for r in rows] + [''.ljust(width, '.')] * (GLYPH_ROWS - len(rows))


def text_width(text, scale=1):
    widths = [_glyph(c)[0] for c in text]
    return (sum(widths) + len(widths) - 1) * scale


# ---------------------------------------------------------------------------------------
# Signed distances (negative inside) and their combinations.
# ---------------------------------------------------------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry):
    # Scaled circle: exact on the axes, close enough elsewhere for these gentle ellipses.
    k = min(rx, ry)
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * k


def rounded_box(left, top, right, bottom, r):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - r, (bottom - top) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return d


def segment(ax, ay, bx, by, r):
    def d(x, y):
        px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
        h = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
        return math.hypot(px - vx * h, py - vy * h) - r
    return d


def polygon(points):
    def d(x, y):
        best = (x - points[0][0]) ** 2 + (y - points[0][1]) ** 2
        sign = 1.0
        j = len(points) - 1
        for i in range(len(points)):
            (ix, iy), (jx, jy) = points[i], points[j]
            ex, ey, wx, wy = jx - ix, jy - iy, x - ix, y - iy
            h = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            best = min(best, (wx - ex * h) ** 2 + (wy - ey * h) ** 2)
            c1, c2, c3 = y >= iy, y < jy, ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                sign = -sign
            j = i
        return sign * math.sqrt(best)
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def smooth_union(a, b, k):
    def d(x, y):
        da, db = a(x, y), b(x, y)
        h = max(k - abs(da - db), 0.0) / k
        return min(da, db) - h * h * k * 0.25
    return d


def smooth_subtract(a, b, k):
    def d(x, y):
        da, db = a(x, y), -b(x, y)
        h = max(k - abs(da - db), 0.0) / k
        return max(da, db) + h * h * k * 0.25
    return d


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def inset(shape, by):
    return lambda x, y: shape(x, y) + by


def ring(shape, half_width):
    return lambda x, y: abs(shape(x, y)) - half_width


def shifted(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


# ---------------------------------------------------------------------------------------
# Colours.
# ---------------------------------------------------------------------------------------

def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def vertical(top_y, bottom_y, top, bottom):
    return lambda x, y: mix(top, bottom, (y - top_y) / (bottom_y - top_y))


def radial(cx, cy, r, inner, outer):
    return lambda x, y: mix(inner, outer, math.hypot(x - cx, y - cy) / r)


def solid(colour):
    return lambda x, y: colour


# ---------------------------------------------------------------------------------------
# A picture with straight alpha; pixel (x, y) covers [x, x+1) x [y, y+1).
# ---------------------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0), alpha=1.0):
        self.width, self.height = width, height
        self.rgb = [list(colour) for _ in range(width * height)]
        self.alpha = [alpha] * (width * height)

    def blend(self, x, y, colour, cover):
        if cover <= 0.0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        i = y * self.width + x
        a0 = self.alpha[i]
        a = cover + a0 * (1.0 - cover)
        px = self.rgb[i]
        for c in range(3):
            px[c] = (colour[c] * cover + px[c] * a0 * (1.0 - cover)) / a
        self.alpha[i] = a

    def fill(self, shape, paint, box=None, soft=True):
        """Paints `shape` with `paint`, smoothing its edge over one pixel (or, not soft,
        with a hard edge on the pixel centres: for edges against a transparent colour)."""
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1)))
        for y in range(y0, y1):
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                d = shape(cx, cy)
                if soft:
                    cover = 0.5 - d
                    if cover <= 0.0:
                        continue
                    self.blend(x, y, paint(cx, cy), min(cover, 1.0))
                elif d < 0.0:
                    self.blend(x, y, paint(cx, cy), 1.0)

    def text(self, x, y, text, colour, scale=1, shadow=None):
        """Writes `text` with its cap height's top at (x, y)."""
        if shadow:
            self.text(x + scale, y + scale, text, shadow, scale)
        for ch in text:
            width, rows = _glyph(ch)
            for gy, row in enumerate(rows):
                for gx, bit in enumerate(row):
                    if bit == '#':
                        for sy in range(scale):
                            for sx in range(scale):
                                self.blend(x + gx * scale + sx, y + gy * scale + sy, colour, 1.0)
            x += (width + 1) * scale

    def text_centred(self, cx, y, text, colour, scale=1, shadow=None):
        self.text(int(round(cx - text_width(text, scale) / 2)), y, text, colour, scale, shadow)

    def pixel(self, x, y):
        i = y * self.width + x
        return tuple(int(round(max(0.0, min(255.0, c)))) for c in self.rgb[i]), self.alpha[i]

    def over(self, background):
        """The picture flattened onto `background`, as 8-bit RGB rows."""
        rows = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                (r, g, b), a = self.pixel(x, y)
                row.append(tuple(int(round(c * a + background[i] * (1.0 - a))) for i, c in enumerate((r, g, b))))
            rows.append(row)
        return rows


# ---------------------------------------------------------------------------------------
# File formats, written byte by byte so that nothing but the pixels decides the bytes.
# ---------------------------------------------------------------------------------------

def bmp24(rows):
    """A 24-bit bottom-up BMP of `rows` (top row first, each a list of (r, g, b))."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def ico(canvases):
    """An icon file holding each canvas as a 32-bit image with alpha and its AND mask (set
    where the picture is fully transparent, for systems that ignore alpha)."""
    images = []
    for c in canvases:
        xor, mask = bytearray(), bytearray()
        mask_stride = ((c.width + 31) // 32) * 4
        for y in reversed(range(c.height)):
            bits = bytearray(mask_stride)
            for x in range(c.width):
                (r, g, b), a = c.pixel(x, y)
                a8 = int(round(a * 255))
                if a8 == 0:
                    r = g = b = 0
                    bits[x // 8] |= 0x80 >> (x % 8)
                xor += bytes((b, g, r, a8))
            mask += bits
        info = struct.pack('<IiiHHIIiiII', 40, c.width, c.height * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((c.width, c.height, info + bytes(xor) + bytes(mask)))
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def ppm(rows):
    height, width = len(rows), len(rows[0])
    return b'P6\n%d %d\n255\n' % (width, height) + bytes(v for row in rows for px in row for v in px)


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)


# ---------------------------------------------------------------------------------------
# The pieces the pictures share.
# ---------------------------------------------------------------------------------------

KEY = (255, 0, 255)          # the skin's transparent colour: outside the window's outline
INK = (14, 28, 38)
TEAL_DARK = (18, 92, 96)
TEAL = (40, 160, 150)
TEAL_LIGHT = (150, 230, 215)


def shield(cx, top, half_width, height):
    """A shield: straight shoulders, flanks curving in to a point at the bottom."""
    points = [(cx - half_width, top + height * 0.08), (cx, top), (cx + half_width, top + height * 0.08)]
    steps = 12
    for i in range(1, steps + 1):          # right flank down to the point
        t = i / steps
        points.append((cx + half_width * (1 - t ** 1.7), top + height * (0.08 + 0.92 * math.sin(t * math.pi / 2))))
    for i in range(steps - 1, 0, -1):      # and the left flank back up
        t = i / steps
        points.append((cx - half_width * (1 - t ** 1.7), top + height * (0.08 + 0.92 * math.sin(t * math.pi / 2))))
    return polygon(points)


def keyhole(cx, cy, size):
    head = circle(cx, cy, size * 0.38)
    stem = polygon([(cx - size * 0.16, cy), (cx + size * 0.16, cy),
                    (cx + size * 0.3, cy + size * 0.95), (cx - size * 0.3, cy + size * 0.95)])
    return union(head, stem)


def draw_emblem(c, cx, top, half_width, height, body=TEAL, dark=TEAL_DARK, hole=INK, soft=True):
    s = shield(cx, top, half_width, height)
    box = (cx - half_width - 2, top - 2, cx + half_width + 2, top + height + 2)
    c.fill(s, solid(dark), box, soft)
    c.fill(inset(s, max(1.0, half_width * 0.12)),
           radial(cx - half_width * 0.4, top + height * 0.2, height * 1.1, mix(body, (255, 255, 255), 0.35), body), box)
    # Gloss over the upper left half.
    gloss = intersect(inset(s, max(1.0, half_width * 0.2)), circle(cx - half_width * 0.9, top - height * 0.2, height * 0.62))
    c.fill(gloss, lambda x, y: mix((255, 255, 255), body, 0.55), box)
    c.fill(keyhole(cx, top + height * 0.36, height * 0.34), solid(hole), box)


# ---------------------------------------------------------------------------------------
# The skin: 300 x 618, of which the window's 268 x 558 client area shows the top left.
# ---------------------------------------------------------------------------------------

SKIN_SIZE = (300, 618)
CLIENT_SIZE = (268, 558)
# The click areas laid over the skin, in the window's client coordinates:
# (left, top, width, height, label lines).
BUTTONS = [
    (152, 296, 84, 25, ["Setting"]),
    (163, 333, 73, 26, ["About"]),
    (180, 371, 56, 24, ["Help File"]),
    (186, 405, 50, 21, ["Close", "to tray"]),
    (73, 481, 157, 38, ["Go to Site"]),
]


def skin_outline():
    body = rounded_box(50, 70, 250, 536, 44)
    dome = circle(140, 96, 80)
    lobe = circle(60, 206, 42)
    foot = ellipse(152, 500, 100, 46)
    shape = smooth_union(smooth_union(smooth_union(body, dome, 40), lobe, 36), foot, 30)
    # A waist on the left and a notch under the dome give the outline its organic swing.
    shape = smooth_subtract(shape, circle(2, 398, 46), 26)
    shape = smooth_subtract(shape, circle(262, 150, 22), 20)
    return shape


def draw_button(c, left, top, width, height, lines):
    right, bottom = left + width, top + height
    r = min(height / 2, 10)
    face = rounded_box(left + 0.5, top + 0.5, right - 0.5, bottom - 0.5, r)
    box = (left - 2, top - 2, right + 3, bottom + 3)
    # A soft drop shadow, a dark rim, then a lit face with a bright upper edge.
    c.fill(shifted(face, 1.5, 1.5), solid((6, 14, 20)), box)
    c.fill(face, solid(INK), box)
    c.fill(inset(face, 1.0), vertical(top, bottom, (236, 246, 244), (150, 196, 192)), box)
    c.fill(intersect(inset(face, 1.0), lambda x, y: (top + height * 0.45) - y),
           lambda x, y: mix((255, 255, 255), (224, 240, 238), (y - top) / (height * 0.45)), box)
    scale = 2 if height >= 34 else 1
    line_height = (CAP_HEIGHT + 2) * scale
    block = line_height * len(lines) - 2 * scale
    y = top + (height - block) // 2
    icon = 0
    if scale == 2:
        # The site button carries a globe before its label.
        icon = 26
        gx, gy, gr = left + 24, top + height / 2, 11
        globe = circle(gx, gy, gr)
        c.fill(globe, radial(gx - 4, gy - 4, gr * 1.6, (120, 210, 230), (20, 100, 140)), box)
        for line in (ring(ellipse(gx, gy, gr * 0.45, gr), 0.6), ring(circle(gx, gy, gr), 0.7),
                     intersect(lambda x, yy: abs(yy - gy) - 0.6, circle(gx, gy, gr)),
                     intersect(lambda x, yy: abs(yy - gy + gr * 0.5) - 0.5, circle(gx, gy, gr)),
                     intersect(lambda x, yy: abs(yy - gy - gr * 0.5) - 0.5, circle(gx, gy, gr))):
            c.fill(line, solid(INK), box)
    for line in lines:
        c.text_centred(left + (width + icon) / 2, y, line, INK, scale)
        y += line_height


def draw_keyboard(c, left, top):
    width, height = 78, 44
    base = rounded_box(left, top, left + width, top + height, 6)
    box = (left - 2, top - 2, left + width + 3, top + height + 3)
    c.fill(shifted(base, 1.5, 1.5), solid((6, 14, 20)), box)
    c.fill(base, vertical(top, top + height, (70, 96, 110), (36, 56, 68)), box)
    rows = [(6, 8), (6, 8), (6, 8)]
    for r, (inset_x, count) in enumerate(rows):
        y0 = top + 5 + r * 9
        for k in range(count):
            x0 = left + inset_x + r * 2 + k * 8.4
            key = rounded_box(x0, y0, x0 + 6.5, y0 + 6.5, 1.5)
            c.fill(key, vertical(y0, y0 + 6.5, (226, 236, 238), (150, 176, 186)), box)
    bar = rounded_box(left + 20, top + 33, left + 58, top + 39.5, 1.5)
    c.fill(bar, vertical(top + 33, top + 39.5, (226, 236, 238), (150, 176, 186)), box)


def draw_keycap(c, left, top, width, label):
    cap = rounded_box(left, top, left + width, top + 17, 3)
    box = (left - 2, top - 2, left + width + 3, top + 20)
    c.fill(shifted(cap, 1.0, 1.5), solid((6, 14, 20)), box)
    c.fill(cap, solid(INK), box)
    c.fill(inset(cap, 1.0), vertical(top, top + 17, (232, 242, 242), (160, 190, 196)), box)
    c.text_centred(left + width / 2, top + 5, label, INK)


def make_skin():
    width, height = SKIN_SIZE
    c = Canvas(width, height, KEY, 0.0)
    outline = skin_outline()
    client = (0, 0) + CLIENT_SIZE

    # The face: hard-edged against the transparent colour, so no pixel of the window's
    # edge is a blend with it; the rim and everything inside are smoothed.
    c.fill(outline, vertical(10, 550, (44, 84, 104), (16, 34, 50)), client, soft=False)
    c.fill(intersect(outline, lambda x, y: -outline(x, y) - 3.0), solid((8, 18, 26)), client)
    c.fill(ring(inset(outline, 4.5), 0.7), lambda x, y: mix((120, 190, 200), (50, 100, 120), (y - 20) / 520), client)
    # A sheen on the upper left of the body.
    sheen = intersect(inset(outline, 7), circle(40, 40, 150))
    c.fill(sheen, lambda x, y: mix((86, 136, 156), (52, 96, 116), math.hypot(x - 40, y - 40) / 150), client)

    # The title window in the dome.
    screen = intersect(inset(outline, 13), lambda x, y: y - 120)
    c.fill(screen, solid((6, 14, 20)), client)
    c.fill(inset(screen, 1.5), vertical(25, 120, (12, 44, 52), (20, 70, 76)), client)
    c.text_centred(141, 55, "OMBRIX", (4, 12, 16), 3)
    c.text_centred(140, 54, "OMBRIX", (190, 250, 236), 3)
    c.text_centred(140, 86, "keystroke protection", (120, 200, 190))
    c.text_centred(140, 100, "v1.0", (70, 140, 140))

    # The emblem in its ring.
    c.fill(ring(circle(150, 203, 54), 3.0), solid((8, 18, 26)), client)
    c.fill(ring(circle(150, 203, 54), 1.5), vertical(149, 257, (140, 210, 210), (40, 90, 110)), client)
    draw_emblem(c, 150, 160, 36, 88)

    # The keyboard that the hook protects, and its hot key.
    c.text(64, 288, "Keyboard", (150, 210, 205))
    draw_keyboard(c, 62, 300)
    draw_keycap(c, 66, 362, 34, "Ctrl")
    c.text(104, 367, "+", (190, 240, 230))
    draw_keycap(c, 112, 362, 20, "E")
    c.text_centred(99, 386, "encryption", (120, 190, 185))
    c.text_centred(99, 396, "on / off", (120, 190, 185))

    # A groove that the four side buttons hang from.
    c.fill(rounded_box(240, 292, 244, 430, 2), solid((8, 18, 26)), client)
    c.fill(rounded_box(241, 293, 243, 429, 1), solid((70, 120, 136)), client)

    for left, top, w, h, lines in BUTTONS:
        draw_button(c, left, top, w, h, lines)
    return c, outline


# ---------------------------------------------------------------------------------------
# The other pictures.
# ---------------------------------------------------------------------------------------

def make_about():
    c = Canvas(89, 184)
    c.fill(lambda x, y: -1.0, vertical(0, 184, (30, 70, 88), (10, 24, 36)), soft=False)
    c.fill(circle(44.5, 66, 40), radial(44.5, 66, 40, (70, 130, 140), (30, 70, 88)))
    draw_emblem(c, 44.5, 22, 28, 70)
    c.text_centred(45.5, 111, "OMBRIX", (4, 12, 16), 2)
    c.text_centred(44.5, 110, "OMBRIX", (200, 250, 240), 2)
    c.text_centred(44.5, 130, "keystroke", (130, 200, 195))
    c.text_centred(44.5, 140, "protection", (130, 200, 195))
    for k in range(6):
        x0 = 9 + k * 12.2
        key = rounded_box(x0, 160, x0 + 9.5, 169.5, 2)
        c.fill(key, vertical(160, 170, (226, 236, 238), (140, 170, 180)), (x0 - 1, 159, x0 + 11, 171))
    return c


def make_window_icon(size):
    c = Canvas(size, size, (0, 0, 0), 0.0)
    hw = size * 0.42
    draw_emblem(c, size / 2, size * 0.04, hw, size * 0.92)
    return c


def make_tray_icon(running):
    c = Canvas(16, 16, (0, 0, 0), 0.0)
    if running:
        draw_emblem(c, 8, 0.4, 7.2, 15.2, body=(60, 200, 80), dark=(10, 80, 20), hole=(10, 40, 14))
    else:
        draw_emblem(c, 8, 0.4, 7.2, 15.2, body=(150, 150, 150), dark=(70, 70, 70), hole=(50, 50, 50))
        bar = segment(3.0, 13.0, 13.0, 3.0, 1.6)
        c.fill(bar, solid((110, 0, 0)), (0, 0, 16, 16))
        c.fill(segment(3.0, 13.0, 13.0, 3.0, 1.0), solid((230, 30, 30)), (0, 0, 16, 16))
    return c


def make_ok_glyph():
    """Two 16 x 16 cells side by side, up and disabled; the bottom-left pixel's colour is
    the glyph's transparent colour, so the edges are blended with a button face instead."""
    face = (212, 208, 200)
    tick = [(3.0, 8.5), (6.5, 12.0), (13.0, 4.5)]

    def cell(colour, offset):
        c = Canvas(16, 16, (0, 0, 0), 0.0)
        for (ax, ay), (bx, by) in zip(tick, tick[1:]):
            c.fill(segment(ax + offset, ay + offset, bx + offset, by + offset, 1.6), solid(colour))
        return c

    up = cell((0, 140, 40), 0)
    emboss, grey = cell((255, 255, 255), 1), cell((128, 128, 128), 0)
    rows = []
    for y in range(16):
        row = []
        for cells in ((up,), (emboss, grey)):
            for x in range(16):
                colour, cover = list(face), 0.0
                for part in cells:
                    (r, g, b), a = part.pixel(x, y)
                    colour = [colour[i] * (1 - a) + v * a for i, v in enumerate((r, g, b))]
                    cover = max(cover, a)
                row.append(tuple(int(round(v)) for v in colour) if cover >= 0.3 else KEY)
        rows.append(row)
    return rows


def skin_rows(canvas, outline):
    """The skin's pixels: the face where the outline holds the pixel's centre, the
    transparent colour everywhere else (and never on the face by chance)."""
    cw, ch = CLIENT_SIZE
    rows = []
    for y in range(canvas.height):
        row = []
        for x in range(canvas.width):
            if x < cw and y < ch and outline(x + 0.5, y + 0.5) < 0.0:
                px = canvas.pixel(x, y)[0]
                row.append((px[0], px[1], px[2] - 1) if px == KEY else px)
            else:
                row.append(KEY)
        rows.append(row)
    return rows


def main(argv):
    args = list(argv[1:])
    preview = convert = None
    if '--preview' in args:
        i = args.index('--preview')
        preview = args[i + 1]
        del args[i:i + 2]
    if '--convert' in args:
        i = args.index('--convert')
        convert = args[i + 1]
        del args[i:i + 2]
    if len(args) != 1:
        print("usage: artwork.py OUTDIR [--preview PNG] [--convert PROGRAM]", file=sys.stderr)
        return 2
    out = args[0]
    convert = convert or 'convert'
    os.makedirs(out, exist_ok=True)

    skin, outline = make_skin()
    rows = skin_rows(skin, outline)
    write(os.path.join(out, 'skin.bmp'), bmp24(rows))
    write(os.path.join(out, 'ok-glyph.bmp'), bmp24(make_ok_glyph()))
    write(os.path.join(out, 'ombrix.ico'), ico([make_window_icon(32), make_window_icon(16)]))
    write(os.path.join(out, 'encryption-on.ico'), ico([make_tray_icon(True)]))
    write(os.path.join(out, 'encryption-off.ico'), ico([make_tray_icon(False)]))

    with tempfile.TemporaryDirectory() as tmp:
        about = os.path.join(tmp, 'about.ppm')
        write(about, ppm(make_about().over((0, 0, 0))))
        # Baseline, no metadata, no date: the same pixels give the same file.
        subprocess.run([convert, about, '-strip', '-quality', '92', '-interlace', 'none',
                        '-sampling-factor', '2x2,1x1,1x1', 'JPEG:' + os.path.join(out, 'about.jpg')], check=True)
        if preview:
            # The window as it shows: the client area, with the outside of the outline as
            # a chequer board.
            w, h = CLIENT_SIZE
            shown = []
            for y in range(h):
                row = []
                for x in range(w):
                    px = rows[y][x]
                    if px == KEY:
                        px = (200, 200, 200) if (x // 8 + y // 8) % 2 else (240, 240, 240)
                    row.append(px)
                shown.append(row)
            client = os.path.join(tmp, 'client.ppm')
            write(client, ppm(shown))
            subprocess.run([convert, client, '-strip', 'PNG:' + preview], check=True)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Draws the program's icons and writes them as Resources/icons/*.ico.

Usage: make_icons.py [output directory]   (default: Resources/icons beside this script's parent)

Every icon is drawn once in a 16 x 16 unit design space (y down) from signed distance shapes and
rendered at every size of SIZES with analytic anti-aliasing, so all sizes share one design while
strokes stay one pixel wide at each size.

.ico layout written here (all little-endian):
  ICONDIR        reserved u16 = 0, type u16 = 1, count u16
  ICONDIRENTRY   per image: width u8, height u8, colour count u8 = 0, reserved u8 = 0, planes u16 = 1,
                 bit count u16 = 32, byte size u32, offset u32 (from the start of the file)
  image data     BITMAPINFOHEADER (40 bytes; height = 2 x the image height, because the colour
                 rows are followed by the mask rows), then the colour rows bottom-up as B, G, R, A
                 (straight, not premultiplied alpha), then the AND mask rows bottom-up, one bit per
                 pixel, most significant bit first, each row padded to 4 bytes; a set bit means
                 transparent. The mask is set exactly where alpha is 0, and colour is 0 there, so
                 drawing through the mask alone gives the same shape as drawing with alpha.
"""
import math
import os
import struct
import sys

# 16, 24 and 32 pixels serve the small icons at 100, 150 and 200 %; 32, 48 and 64 the large ones.
SIZES = (16, 20, 24, 32, 40, 48, 64)
# Coverage below this (of 255) is dropped so that the mask has no stray edge pixels.
MIN_ALPHA = 24


# ---------------------------------------------------------------------------------------------
# Shapes: functions (x, y) -> signed distance in design units, negative inside.

def box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return d


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry, angle_deg=0.0):
    ca, sa = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))

    def d(x, y):
        px, py = x - cx, y - cy
        u, v = px * ca + py * sa, -px * sa + py * ca
        k0 = math.hypot(u / rx, v / ry)
        if k0 == 0:
            return -min(rx, ry)
        k1 = math.hypot(u / (rx * rx), v / (ry * ry))
        return k0 * (k0 - 1.0) / k1
    return d


def _segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def polygon(points):
    pts = list(points)
    edges = list(zip(pts, pts[1:] + pts[:1]))

    def d(x, y):
        dist = min(_segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in edges)
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y):
                if x < ax + (y - ay) * (bx - ax) / (by - ay):
                    inside = not inside
        return -dist if inside else dist
    return d


def capsule(ax, ay, bx, by, width):
    return lambda x, y: _segment_distance(x, y, ax, ay, bx, by) - width / 2


def arc(cx, cy, r, start_deg, end_deg, width):
    """Stroke along a circle from start to end (degrees, clockwise on screen), round ends."""
    a0, a1 = math.radians(start_deg), math.radians(end_deg)
    span = (a1 - a0) % (2 * math.pi)
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]

    def d(x, y):
        a = math.atan2(y - cy, x - cx)
        if (a - a0) % (2 * math.pi) <= span:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2
    return d


def star(cx, cy, outer, inner, points=5, rotation_deg=-90.0):
    pts = []
    for i in range(points * 2):
        a = math.radians(rotation_deg) + i * math.pi / points
        r = outer if i % 2 == 0 else inner
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return polygon(pts)


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def inset(shape, amount):
    return lambda x, y: shape(x, y) + amount


# ---------------------------------------------------------------------------------------------
# Colours: (r, g, b) or (r, g, b, a) in 0..255, or a function (x, y) -> such a tuple.

def vgrad(y0, c0, y1, c1):
    def f(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return f


def rgrad(cx, cy, r, c0, c1):
    def f(x, y):
        t = max(0.0, min(1.0, math.hypot(x - cx, y - cy) / r))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return f


class Canvas:
    """Premultiplied RGBA floats; paint() composites a shape over what is there."""

    def __init__(self, size):
        self.size = size
        self.px = 16.0 / size  # one pixel in design units
        self.small = size <= 16
        self.buf = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def paint(self, shape, colour):
        px = self.px
        for j in range(self.size):
            y = (j + 0.5) * px
            for i in range(self.size):
                x = (i + 0.5) * px
                cover = 0.5 - shape(x, y) / px
                if cover <= 0:
                    continue
                cover = min(cover, 1.0)
                c = colour(x, y) if callable(colour) else colour
                a = (c[3] / 255.0 if len(c) > 3 else 1.0) * cover
                dst = self.buf[j * self.size + i]
                k = 1.0 - a
                dst[0] = c[0] / 255.0 * a + dst[0] * k
                dst[1] = c[1] / 255.0 * a + dst[1] * k
                dst[2] = c[2] / 255.0 * a + dst[2] * k
                dst[3] = a + dst[3] * k

    def outlined(self, shape, fill, outline, width=None):
        """The shape in the outline colour with its inside, one pixel in, in the fill colour."""
        self.paint(shape, outline)
        self.paint(inset(shape, self.px if width is None else width), fill)

    def rgba_rows(self):
        """Rows top-down of straight (r, g, b, a) bytes."""
        rows = []
        for j in range(self.size):
            row = []
            for i in range(self.size):
                r, g, b, a = self.buf[j * self.size + i]
                alpha = int(round(a * 255))
                if alpha < MIN_ALPHA:
                    row.append((0, 0, 0, 0))
                    continue
                row.append(tuple(min(255, int(round(v / a * 255))) for v in (r, g, b)) + (alpha,))
            rows.append(row)
        return rows


# ---------------------------------------------------------------------------------------------
# Palette shared by the whole set.

FOLDER_OUTLINE = (166, 116, 28)
FOLDER_BACK = ((246, 205, 104), (226, 170, 56))
FOLDER_FRONT = ((255, 236, 160), (248, 200, 86))
GREEN_OUTLINE = (34, 112, 40)
GREEN = ((132, 214, 96), (52, 160, 52))
RED_OUTLINE = (140, 24, 24)
RED = ((246, 102, 86), (204, 36, 36))
BLUE_OUTLINE = (32, 72, 150)
BLUE = ((112, 166, 240), (44, 104, 204))
PAGE_OUTLINE = (104, 116, 138)
PAGE = ((255, 255, 255), (228, 234, 244))
LINE = (150, 170, 200)


def folder(c, front_top=6.0):
    """The plain folder every folder icon starts from: back panel with a tab and a front panel."""
    back = union(box(1, 2, 7, 6, 1.0), box(1, 4, 15, 14, 1.0))
    c.outlined(back, vgrad(2, FOLDER_BACK[0], 14, FOLDER_BACK[1]), FOLDER_OUTLINE)
    front = box(1, front_top, 15, 14, 0.75)
    c.outlined(front, vgrad(front_top, FOLDER_FRONT[0], 14, FOLDER_FRONT[1]), FOLDER_OUTLINE)
    # A light line under the front panel's top edge gives it depth.
    c.paint(box(1 + 2 * c.px, front_top + c.px, 15 - 2 * c.px, front_top + 2 * c.px), (255, 250, 226, 200))


def draw_app(c):
    folder(c)
    # A tessellation on the folder's front: a framed 4 x 2 checker of two blues.
    cols, rows = 4, 2
    tile = 2.0 if c.small else 2.5
    x0, y0 = 8 - (cols * tile + 2 * c.px) / 2, 7.0
    frame = box(x0, y0, x0 + cols * tile + 2 * c.px, y0 + rows * tile + 2 * c.px)
    c.paint(frame, (30, 62, 130))
    colours = [(58, 124, 226), (96, 208, 222)]
    for r in range(rows):
        for k in range(cols):
            x = x0 + c.px + k * tile
            y = y0 + c.px + r * tile
            c.paint(box(x, y, x + tile, y + tile), vgrad(y, colours[(k + r) % 2],
                                                        y + tile, [v * 0.86 for v in colours[(k + r) % 2]]))
            if not c.small:
                c.paint(box(x, y, x + tile, y + c.px), (255, 255, 255, 90))


def arrow_right(c):
    shape = polygon([(1.5, 5.5), (7.5, 5.5), (7.5, 1.5), (14.5, 8.0),
                     (7.5, 14.5), (7.5, 10.5), (1.5, 10.5)])
    c.outlined(shape, vgrad(2, GREEN[0], 14, GREEN[1]), GREEN_OUTLINE)


def mirrored(draw):
    def f(c):
        draw(c)
        n = c.size
        for j in range(n):
            row = c.buf[j * n:(j + 1) * n]
            c.buf[j * n:(j + 1) * n] = row[::-1]
    return f


def page(c, x0, y0, x1, y1, lines_from):
    ear = 3.0
    shape = polygon([(x0, y0), (x1 - ear, y0), (x1, y0 + ear), (x1, y1), (x0, y1)])
    c.outlined(shape, vgrad(y0, PAGE[0], y1, PAGE[1]), PAGE_OUTLINE)
    c.outlined(polygon([(x1 - ear, y0), (x1, y0 + ear), (x1 - ear, y0 + ear)]), (214, 222, 236),
               PAGE_OUTLINE)
    y = lines_from
    while y + 1 <= y1 - 1.5:
        c.paint(box(x0 + 2, y, x1 - 2, y + c.px), LINE)
        y += 2


def draw_copy(c):
    page(c, 1, 1, 10, 12, 5)
    page(c, 6, 4, 15, 15, 8)


def draw_remove(c):
    w = 3.2
    shape = union(capsule(3.6, 3.6, 12.4, 12.4, w), capsule(12.4, 3.6, 3.6, 12.4, w))
    c.outlined(shape, vgrad(2, RED[0], 14, RED[1]), RED_OUTLINE)


def draw_new_folder(c):
    folder(c)
    sparkle = star(11.5, 4.5, 4.5, 1.9 if c.small else 1.5, points=4, rotation_deg=-90)
    c.outlined(sparkle, rgrad(11.5, 4.5, 3.5, (255, 255, 230), (255, 190, 20)), (200, 110, 0))


def draw_up(c):
    folder(c)
    shape = polygon([(8.0, 1.0), (13.5, 6.5), (10.5, 6.5), (10.5, 12.5), (5.5, 12.5),
                     (5.5, 6.5), (2.5, 6.5)])
    c.outlined(shape, vgrad(1, GREEN[0], 12, GREEN[1]), GREEN_OUTLINE)


def draw_refresh(c):
    cx, cy, r, w = 8.0, 8.5, 4.6, 2.8
    ring = arc(cx, cy, r, 300, 220, w)
    # The head sits on the open end at 220 degrees and points along the turn (clockwise).
    a = math.radians(220)
    ex, ey = cx + r * math.cos(a), cy + r * math.sin(a)
    tx, ty = -math.sin(a), math.cos(a)        # clockwise tangent
    nx, ny = math.cos(a), math.sin(a)         # outward normal
    head = polygon([(ex + nx * 3.4, ey + ny * 3.4), (ex + tx * 3.6, ey + ty * 3.6),
                    (ex - nx * 3.4, ey - ny * 3.4)])
    c.outlined(union(ring, head), vgrad(2, GREEN[0], 14, GREEN[1]), GREEN_OUTLINE)


def draw_find(c):
    """A magnifying glass: a ring with a pale lens and a handle to the lower right."""
    cx, cy, r = 6.5, 6.5, 4.6
    handle = capsule(10.0, 10.0, 14.2, 14.2, 2.6)
    c.outlined(handle, vgrad(9, (150, 112, 70), 15, (96, 64, 32)), (64, 40, 16))
    c.paint(circle(cx, cy, r - 1.2), rgrad(cx - 1.2, cy - 1.2, r, (236, 246, 255), (170, 204, 240)))
    c.outlined(subtract(circle(cx, cy, r), circle(cx, cy, r - 1.6)), vgrad(2, BLUE[0], 11, BLUE[1]), BLUE_OUTLINE)


def draw_mark_gear(c):
    """Application mark, style 2: a small gear in the lower right corner."""
    cx, cy = (12.0, 12.0) if c.small else (12.5, 12.5)
    tooth = box(cx - 0.9, cy - 3.9, cx + 0.9, cy + 3.9, 0.3)

    def turned(a):
        ca, sa = math.cos(a), math.sin(a)
        return lambda x, y: tooth(cx + (x - cx) * ca + (y - cy) * sa, cy - (x - cx) * sa + (y - cy) * ca)
    teeth = [turned(math.radians(45 * k)) for k in range(4)]
    gear = subtract(union(circle(cx, cy, 2.9), *teeth), circle(cx, cy, 1.0 if c.small else 1.2))
    if c.small:
        # Too small for an outline: a mid steel body with a light hub reads better at 8 pixels.
        c.paint(gear, (84, 100, 132))
        c.paint(subtract(circle(cx, cy, 1.9), circle(cx, cy, 1.0)), (178, 192, 216))
        return
    c.outlined(gear, vgrad(8, (214, 222, 236), 16, (132, 146, 170)), (48, 58, 80))


def draw_mark_arrow(c):
    """Application mark, style 1: a white badge with a blue arrow out of its corner."""
    x0 = 8.0 if c.small else 9.0
    c.outlined(box(x0, x0, 16, 16, 1.0), (255, 255, 255), BLUE_OUTLINE)
    m = x0 + 2.0
    arrow = union(capsule(m + 0.5, 14.0 - 0.5, 13.2, m + 1.8, 1.4 if c.small else 1.3),
                  polygon([(m + 0.1, m), (14.0, m), (14.0, 14.0 - 0.1)]))
    c.paint(intersect(arrow, box(m - 0.5, m, 14.0, 14.0 + 0.5)), BLUE[1])


def draw_mark_star(c):
    """Application mark, style 0: a gold star."""
    cx, cy, r = (12.0, 12.2, 4.2) if c.small else (12.3, 12.6, 3.9)
    shape = star(cx, cy, r, r * 0.45)
    c.outlined(shape, rgrad(cx, cy - 0.2, 4, (255, 246, 160), (250, 176, 20)), (170, 96, 0))


def note_pair(c, colour, outline, x=0.0, y=0.0, scale=1.0, stem=1.2):
    """Two beamed eighth notes; the caller picks a stem width that falls on whole pixels."""
    def p(px, py):
        return x + px * scale, y + py * scale
    h1 = ellipse(*p(4.2, 12.6), 2.3 * scale, 1.7 * scale, -20)
    h2 = ellipse(*p(11.2, 11.1), 2.3 * scale, 1.7 * scale, -20)
    r1, r2 = (round(p(v, 0)[0] / c.px) * c.px for v in (6.5, 13.5))
    s1 = box(r1 - stem, p(0, 3.6)[1], r1, p(0, 12.4)[1])
    s2 = box(r2 - stem, p(0, 2.1)[1], r2, p(0, 10.9)[1])
    beam = polygon([(r1 - stem, p(0, 3.0)[1]), (r2, p(0, 1.2)[1]), (r2, p(0, 4.2)[1]),
                    (r1 - stem, p(0, 6.0)[1])])
    c.outlined(union(h1, h2, s1, s2, beam), colour, outline)


def draw_music_folder(c):
    folder(c)
    if c.small:
        note_pair(c, (84, 52, 188), (84, 52, 188), x=2.8, y=4.0, scale=0.7, stem=1.0)
    else:
        note_pair(c, vgrad(5, (136, 120, 236), 14, (82, 60, 196)), (46, 32, 120), x=3.0, y=4.2, scale=0.62)


def draw_image_folder(c):
    folder(c)
    x0, y0, x1, y1 = 5.0, 7.0, 14.0, 13.0
    c.outlined(box(x0, y0, x1, y1), (255, 255, 255), (96, 96, 110))
    inner = box(x0 + 2 * c.px, y0 + 2 * c.px, x1 - 2 * c.px, y1 - 2 * c.px)
    c.paint(inner, vgrad(y0, (130, 190, 250), y1, (200, 230, 255)))
    c.paint(intersect(inner, circle(x1 - 2.3, y0 + 2.0, 1.0)), (255, 196, 40))
    hills = polygon([(x0, y1), (x0 + 2.7, y0 + 2.6), (x0 + 5.0, y1 - 1.4), (x0 + 6.4, y0 + 3.4),
                     (x1 + 1, y1)])
    c.paint(intersect(inner, hills), (64, 156, 64))


def draw_music_item(c):
    note_pair(c, vgrad(1, BLUE[0], 15, BLUE[1]), BLUE_OUTLINE, stem=2.0 if c.small else 1.5)


def draw_playing(c):
    glow = circle(8, 8, 3.5)
    c.paint(glow, rgrad(8, 8, 3.5, (255, 210, 60, 200), (255, 150, 0, 0)))
    dot = circle(8, 8, 2.4)
    c.outlined(dot, rgrad(7.4, 7.4, 2.4, (255, 255, 230), (255, 176, 0)), (214, 112, 0))


def close_cross(c, colour, width):
    # The close button's glyph fills the upper left 12 x 12 of the icon: the caption draws the
    # 16 x 16 icon at the corner of a 12 x 12 button.
    c.paint(union(capsule(3.5, 3.5, 8.5, 8.5, width), capsule(8.5, 3.5, 3.5, 8.5, width)), colour)


def draw_close(c):
    close_cross(c, (92, 92, 96), 1.5)


def draw_close_hot(c):
    c.outlined(box(0, 0, 12, 12, 2.0), vgrad(0, (236, 88, 72), 12, (196, 32, 24)), (150, 24, 20))
    close_cross(c, (255, 255, 255), 1.6)


ICONS = [
    ("app", draw_app),
    ("forward", arrow_right),
    ("back", mirrored(arrow_right)),
    ("copy", draw_copy),
    ("remove", draw_remove),
    ("newfolder", draw_new_folder),
    ("up", draw_up),
    ("refresh", draw_refresh),
    ("find", draw_find),
    ("appmark2", draw_mark_gear),
    ("appmark1", draw_mark_arrow),
    ("appmark0", draw_mark_star),
    ("musicfolder", draw_music_folder),
    ("imagefolder", draw_image_folder),
    ("musicitem", draw_music_item),
    ("playing", draw_playing),
    ("close", draw_close),
    ("closehot", draw_close_hot),
]


# ---------------------------------------------------------------------------------------------
# .ico encoding

def ico_image(rows):
    n = len(rows)
    colour = bytearray()
    mask = bytearray()
    stride = ((n + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for i, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def ico_file(images):
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    blobs = []
    for size, rows in images:
        blob = ico_image(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "Resources", "icons")
    os.makedirs(out_dir, exist_ok=True)
    for name, draw in ICONS:
        images = []
        for size in SIZES:
            canvas = Canvas(size)
            draw(canvas)
            images.append((size, canvas.rgba_rows()))
        with open(os.path.join(out_dir, name + ".ico"), "wb") as f:
            f.write(ico_file(images))


if __name__ == "__main__":
    main()

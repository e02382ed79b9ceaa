#!/usr/bin/python3
"""Draws the program's pictures and writes them as PNG files into ui/img, and
the program's icon for the desktop's icon theme into data/icons/hicolor.

Only the standard library is used, so the output can be rebuilt anywhere:
    /usr/bin/python3 tools/artwork/make_artwork.py

Shapes are sampled on a sub-pixel grid for smooth edges. Pictures that the
program draws with their bottom-left pixel as the see-through colour get hard
outer edges (no half-transparent rim) over the key colour.
"""

import math
import os
import random
import struct
import zlib

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "ui", "img")
SUBSAMPLES = 5

# ---------------------------------------------------------------- PNG output


def write_png(path, width, height, rows, alpha):
    """rows: list of lists of (r, g, b, a) tuples of ints 0..255."""
    channels = 4 if alpha else 3
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for px in row:
            raw.extend(px[:channels])

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    colour_type = 6 if alpha else 2
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# ------------------------------------------------------------------- shapes
# A shape is a function (x, y) -> bool over continuous pixel coordinates;
# pixel (i, j) covers [i, i+1) x [j, j+1).


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in < (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r

    return inside


def capsule(x0, y0, x1, y1, r):
    """A line segment with round ends, r = half the stroke width."""
    vx, vy = x1 - x0, y1 - y0
    length2 = vx * vx + vy * vy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / length2))
        px, py = x0 + t * vx - x, y0 + t * vy - y
        return px * px + py * py <= r * r

    return inside


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                result = not result
        return result

    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


# ------------------------------------------------------------------- canvas


class Canvas:
    """Straight-alpha RGBA floats, composited with 'over'."""

    def __init__(self, w, h, background=(0, 0, 0, 0)):
        self.w, self.h = w, h
        bg = tuple(c / 255.0 for c in background[:3]) + (background[3] / 255.0,)
        self.px = [[list(bg) for _ in range(w)] for _ in range(h)]

    def fill(self, shape, colour, opacity=1.0, bbox=None):
        """colour: (r, g, b) ints, or a function (x, y) -> (r, g, b)."""
        x0, y0, x1, y1 = bbox or (0, 0, self.w, self.h)
        step = 1.0 / SUBSAMPLES
        offsets = [(i + 0.5) * step for i in range(SUBSAMPLES)]
        for j in range(max(0, y0), min(self.h, y1)):
            for i in range(max(0, x0), min(self.w, x1)):
                hits = sum(1 for oy in offsets for ox in offsets if shape(i + ox, j + oy))
                if not hits:
                    continue
                a = opacity * hits / (SUBSAMPLES * SUBSAMPLES)
                c = colour(i + 0.5, j + 0.5) if callable(colour) else colour
                self._over(i, j, [v / 255.0 for v in c], a)

    def _over(self, i, j, c, a):
        d = self.px[j][i]
        out_a = a + d[3] * (1 - a)
        if out_a <= 0:
            return
        for k in range(3):
            d[k] = (c[k] * a + d[k] * d[3] * (1 - a)) / out_a
        d[3] = out_a

    def rows_rgba(self):
        return [
            [tuple(int(round(v * 255)) for v in p[:3]) + (int(round(p[3] * 255)),) for p in row]
            for row in self.px
        ]

    def rows_keyed(self, key, matte):
        """Opaque picture: pixels at least half covered are flattened onto the
        matte colour, the rest become the key colour (see-through)."""
        rows = []
        for row in self.px:
            out = []
            for p in row:
                if p[3] < 0.5:
                    out.append(key + (255,))
                else:
                    out.append(
                        tuple(int(round((p[k] * p[3] + matte[k] / 255.0 * (1 - p[3])) * 255))
                              for k in range(3)) + (255,))
            rows.append(out)
        return rows


def vertical_gradient(top, bottom, y0, y1):
    def colour(x, y):
        t = max(0.0, min(1.0, (y - y0) / float(y1 - y0)))
        return tuple(top[k] + (bottom[k] - top[k]) * t for k in range(3))

    return colour


def radial_gradient(centre, edge, cx, cy, r):
    def colour(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r)
        return tuple(centre[k] + (edge[k] - centre[k]) * t for k in range(3))

    return colour


# ------------------------------------------------------------------ palette

RIM_LIGHT = (70, 120, 190)
RIM_DARK = (22, 58, 112)
FACE_CENTRE = (255, 255, 255)
FACE_EDGE = (222, 232, 244)
HAND = (28, 36, 52)
TICK = (90, 104, 128)
SIGNAL = (40, 150, 60)
SIGNAL_EDGE = (18, 88, 32)
KEY = (255, 0, 255)  # see-through colour of the keyed pictures; never used in a drawing
MATTE = (240, 240, 240)


# -------------------------------------------------------------------- parts


def clock(cv, cx, cy, r, hour_ticks, hand_width, hands=(300, 60)):
    """Clock face with a blue rim, ticks and hands (angles in degrees from
    twelve; ten past ten unless told otherwise)."""
    rim = max(1.0, r * 0.16)
    cv.fill(circle(cx, cy, r), vertical_gradient(RIM_LIGHT, RIM_DARK, cy - r, cy + r))
    cv.fill(circle(cx, cy, r - rim), radial_gradient(FACE_CENTRE, FACE_EDGE, cx - r * 0.3,
                                                     cy - r * 0.3, r * 1.6))
    inner = r - rim
    for k in range(hour_ticks):
        a = 2 * math.pi * k / hour_ticks
        major = hour_ticks == 4 or k % 3 == 0
        length = inner * (0.28 if major else 0.14)
        x0 = cx + math.sin(a) * (inner - 0.6)
        y0 = cy - math.cos(a) * (inner - 0.6)
        x1 = cx + math.sin(a) * (inner - 0.6 - length)
        y1 = cy - math.cos(a) * (inner - 0.6 - length)
        cv.fill(capsule(x0, y0, x1, y1, hand_width * (0.45 if major else 0.3)), TICK)
    ha, ma = math.radians(hands[0]), math.radians(hands[1])
    cv.fill(capsule(cx, cy, cx + math.sin(ha) * inner * 0.55, cy - math.cos(ha) * inner * 0.55,
                    hand_width * 0.6), HAND)
    cv.fill(capsule(cx, cy, cx + math.sin(ma) * inner * 0.78, cy - math.cos(ma) * inner * 0.78,
                    hand_width * 0.45), HAND)
    if hour_ticks:
        cv.fill(circle(cx, cy, hand_width * 0.75), (200, 40, 40))


def signal_bars(cv, x, bottom, bar_w, gap, heights, outline):
    for n, h in enumerate(heights):
        x0 = x + n * (bar_w + gap)
        if outline:
            cv.fill(rect(x0 - outline, bottom - h - outline, x0 + bar_w + outline, bottom + outline),
                    SIGNAL_EDGE)
        cv.fill(rect(x0, bottom - h, x0 + bar_w, bottom),
                vertical_gradient((90, 200, 100), SIGNAL, bottom - h, bottom))


# ----------------------------------------------------------------- pictures


def icon16():
    # no ticks at this size, and hands on the pixel grid (three o'clock) so
    # that they stay crisp
    cv = Canvas(16, 16)
    clock(cv, 6.5, 6.5, 6.5, 0, 1.0 / 0.6, hands=(90, 0))
    signal_bars(cv, 9.5, 15.0, 1.6, 0.6, (3.0, 5.0, 7.5), 0.5)
    return cv.rows_rgba()


def icon32():
    cv = Canvas(32, 32)
    clock(cv, 14.0, 14.0, 13.5, 12, 2.0)
    signal_bars(cv, 19.5, 30.5, 2.6, 1.2, (4.5, 8.0, 11.5), 1.0)
    return cv.rows_rgba()


def plug(cv, x, y, scale):
    """A mains/modem style plug seen from the side, cable leaving to the left."""
    s = scale
    body = (70, 74, 82)
    body_light = (120, 126, 138)
    cv.fill(capsule(x - 9 * s, y + 5 * s, x + 1 * s, y + 2.5 * s, 1.3 * s), (45, 48, 56))
    cv.fill(round_rect(x, y - 1 * s, x + 8 * s, y + 6 * s, 1.5 * s),
            vertical_gradient(body_light, body, y - s, y + 6 * s))
    cv.fill(rect(x + 8 * s, y + 0.2 * s, x + 11.5 * s, y + 1.6 * s), (200, 170, 60))
    cv.fill(rect(x + 8 * s, y + 3.4 * s, x + 11.5 * s, y + 4.8 * s), (200, 170, 60))


def picture32():
    cv = Canvas(32, 32)
    clock(cv, 13.0, 13.0, 12.5, 12, 2.0)
    plug(cv, 17.5, 22.5, 1.0)
    return cv.rows_keyed(KEY, MATTE)


def warning32():
    cv = Canvas(32, 32)
    clock(cv, 12.5, 12.5, 12.0, 12, 1.9)
    tri = [(22.5, 12.5), (31.5, 30.0), (13.5, 30.0)]
    cv.fill(polygon(tri), (120, 70, 0))
    inner = [(22.5, 15.2), (29.3, 28.6), (15.7, 28.6)]
    cv.fill(polygon(inner), vertical_gradient((255, 226, 90), (240, 170, 20), 15, 29))
    cv.fill(capsule(22.5, 19.0, 22.5, 24.2, 1.05), (30, 20, 0))
    cv.fill(circle(22.5, 26.6, 1.05), (30, 20, 0))
    return cv.rows_keyed(KEY, MATTE)


def reminder32():
    cv = Canvas(32, 32)
    # calendar page
    cv.fill(round_rect(3.0, 5.0, 29.0, 30.0, 2.5), (110, 116, 128))
    cv.fill(round_rect(4.0, 6.0, 28.0, 29.0, 2.0),
            vertical_gradient((255, 255, 255), (228, 232, 240), 6, 29))
    cv.fill(minus(round_rect(4.0, 6.0, 28.0, 13.0, 2.0), rect(4.0, 12.0, 28.0, 13.0)),
            vertical_gradient((230, 80, 70), (180, 36, 32), 6, 12))
    cv.fill(rect(4.0, 11.0, 28.0, 12.0), (180, 36, 32))
    for rx in (10.0, 22.0):
        cv.fill(round_rect(rx - 1.2, 2.5, rx + 1.2, 9.0, 1.2), (70, 74, 82))
        cv.fill(round_rect(rx - 0.5, 3.2, rx + 0.5, 8.3, 0.5), (170, 176, 186))
    # the figure one
    one = [(14.0, 17.0), (17.4, 14.5), (19.0, 14.5), (19.0, 25.0), (21.0, 25.0), (21.0, 27.0),
           (13.0, 27.0), (13.0, 25.0), (16.0, 25.0), (16.0, 18.3), (14.0, 19.4)]
    cv.fill(polygon(one), (40, 48, 70))
    return cv.rows_rgba()


def tile96():
    """Quiet linen: thread-wise brightness changes around the see-through
    grey 248, 248, 248. Each row and column carries its own offset, so the
    tile repeats without seams."""
    rnd = random.Random(7)
    n = 96
    base = 248
    row_off = [rnd.choice((0, 0, 0, -1, -2, -3, 1)) for _ in range(n)]
    col_off = [rnd.choice((0, 0, 0, -1, -2, -3, 1)) for _ in range(n)]
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            weave = -1 if (x + y) % 2 else 0
            speck = -2 if rnd.random() < 0.03 else (1 if rnd.random() < 0.03 else 0)
            v = base + row_off[y] + col_off[x] + weave + speck
            v = max(238, min(253, v))
            row.append((v, v, min(255, v + 1), 255))
        rows.append(row)
    rows[n - 1][0] = (base, base, base, 255)  # bottom-left: the tile's key colour
    return rows


# --------------------------------------------------- the icon theme's sizes

THEME_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "icons",
                         "hicolor")
THEME_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def app_icon(size):
    """The program's icon at any size: the 16 px drawing below 32 px, where
    ticks would blur, the 32 px one scaled from 32 px up."""
    if size == 16:
        return icon16()
    cv = Canvas(size, size)
    if size < 32:
        s = size / 16.0
        c = math.floor(6.5 * s) + 0.5  # hands on a pixel's centre stay sharp
        clock(cv, c, c, c, 4, 1.0 / 0.6 * s, hands=(90, 0))
        signal_bars(cv, size - 6.5 * s, size - 1.0 * s, 1.6 * s, 0.6 * s,
                    tuple(h * s for h in (3.0, 5.0, 7.5)), 0.5 * s)
    else:
        s = size / 32.0
        clock(cv, 14.0 * s, 14.0 * s, 13.5 * s, 12, 2.0 * s)
        signal_bars(cv, 19.5 * s, 30.5 * s, 2.6 * s, 1.2 * s,
                    tuple(h * s for h in (4.5, 8.0, 11.5)), 1.0 * s)
    return cv.rows_rgba()


def write_theme_icons():
    for size in THEME_SIZES:
        folder = os.path.join(THEME_DIR, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "brantle-vantrel.png")
        write_png(path, size, size, app_icon(size), True)
        print("wrote", os.path.normpath(path))


# The tray asks for the size of its panel; the theme's drawing keeps the icon sharp there.
TRAY_SIZES = (22, 24, 48, 64)


def tray_pictures():
    return {"icon%d.png" % n: (n, lambda n=n: app_icon(n), True) for n in TRAY_SIZES}


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    pictures = {
        "icon16.png": (16, icon16, True),
        "icon32.png": (32, icon32, True),
        "picture32.png": (32, picture32, False),
        "warning32.png": (32, warning32, False),
        "reminder32.png": (32, reminder32, True),
        "tile96.png": (96, tile96, False),
    }
    pictures.update(tray_pictures())
    for name, (size, draw, alpha) in pictures.items():
        write_png(os.path.join(OUT_DIR, name), size, size, draw(), alpha)
        print("wrote", os.path.normpath(os.path.join(OUT_DIR, name)))
    write_theme_icons()


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Draws the pictures that the Velmo programs carry inside themselves.

Run it from anywhere with /usr/bin/python3 (standard library only: zlib and
struct); it rewrites the PNG files next to itself.  The PNG files are kept in
the repository, so the build never needs this script: it is here to redraw or
change them.

Every picture is drawn from simple geometric shapes with 4 x 4 supersampling,
which gives soft, anti-aliased edges and a real alpha channel (transparent
background, opaque body, partly transparent rims).
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling per axis


# --------------------------------------------------------------------------
# PNG writing
# --------------------------------------------------------------------------

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_rgba(width, height, rgba):
    """8-bit RGBA PNG (colour type 6) from a flat list of 0..255 values."""
    raw = bytearray()
    stride = width * 4
    for y in range(height):
        raw.append(0)  # filter: none
        raw.extend(rgba[y * stride:(y + 1) * stride])
    return (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _chunk(b"IEND", b""))


def png_palette(width, height, rgba):
    """8-bit palette PNG (colour type 3) with a tRNS chunk.

    Pixels are either fully transparent (alpha below one half) or opaque; the
    colours are reduced until they fit into 255 entries (entry 0 is the
    transparent one)."""
    pixels = [tuple(rgba[i:i + 4]) for i in range(0, len(rgba), 4)]
    shift = 0
    while True:
        def reduce(c):
            if shift == 0:
                return c
            return tuple(min(255, ((v >> shift) << shift) + (1 << (shift - 1))) for v in c)
        colours = {}
        for p in pixels:
            if p[3] >= 128:
                colours.setdefault(reduce(p[:3]), None)
        if len(colours) <= 255:
            break
        shift += 1
    index = {c: i + 1 for i, c in enumerate(colours)}
    palette = bytearray(b"\xff\x00\xff")  # entry 0: transparent
    for c in colours:
        palette.extend(c)
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            p = pixels[y * width + x]
            raw.append(index[reduce(p[:3])] if p[3] >= 128 else 0)
    return (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
            + _chunk(b"PLTE", bytes(palette))
            + _chunk(b"tRNS", b"\x00")
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _chunk(b"IEND", b""))


# --------------------------------------------------------------------------
# A small anti-aliased rasteriser
# --------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        # straight (not premultiplied) colour, 0..1 floats
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]

    def fill(self, inside, colour, box=None):
        """Paints colour where inside(x, y) holds.  colour is (r, g, b[, a])
        or a function of (x, y) giving one; box limits the pixels visited."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        offs = [(i + 0.5) / SS for i in range(SS)]
        for py in range(y0, y1):
            for px in range(x0, x1):
                hits = 0
                for oy in offs:
                    for ox in offs:
                        if inside(px + ox, py + oy):
                            hits += 1
                if not hits:
                    continue
                c = colour(px + 0.5, py + 0.5) if callable(colour) else colour
                a = (c[3] if len(c) > 3 else 255) / 255.0 * hits / (SS * SS)
                d = self.px[py * self.w + px]
                out_a = a + d[3] * (1 - a)
                if out_a <= 0:
                    continue
                for k in range(3):
                    d[k] = (c[k] / 255.0 * a + d[k] * d[3] * (1 - a)) / out_a
                d[3] = out_a

    def rgba(self):
        out = []
        for p in self.px:
            out.extend(int(round(max(0.0, min(1.0, v)) * 255)) for v in p)
        return out


# Shapes: each returns (inside-function, bounding box).

def circle(cx, cy, r):
    return (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r), (cx - r, cy - r, cx + r, cy + r)


def ellipse(cx, cy, rx, ry, angle=0.0):
    ca, sa = math.cos(angle), math.sin(angle)
    def inside(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * ca + dy * sa, -dx * sa + dy * ca
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1
    m = max(rx, ry)
    return inside, (cx - m, cy - m, cx + m, cy + m)


def ring(cx, cy, r_out, r_in, a0=None, a1=None):
    """Annulus, optionally limited to the angles a0..a1 (radians, y down)."""
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not (r_in * r_in <= d2 <= r_out * r_out):
            return False
        if a0 is None:
            return True
        a = math.atan2(y - cy, x - cx)
        while a < a0:
            a += 2 * math.pi
        return a <= a1
    return inside, (cx - r_out, cy - r_out, cx + r_out, cy + r_out)


def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        if radius <= 0:
            return True
        qx = max(x0 + radius - x, 0, x - (x1 - radius))
        qy = max(y0 + radius - y, 0, y - (y1 - radius))
        return qx * qx + qy * qy <= radius * radius
    return inside, (x0, y0, x1, y1)


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y):
                if x < xa + (y - ya) * (xb - xa) / (yb - ya):
                    hit = not hit
        return hit
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return inside, (min(xs), min(ys), max(xs), max(ys))


def line(xa, ya, xb, yb, width):
    """Thick segment with round ends."""
    r = width / 2.0
    dx, dy = xb - xa, yb - ya
    ll = dx * dx + dy * dy
    def inside(x, y):
        t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / ll))
        qx, qy = xa + t * dx - x, ya + t * dy - y
        return qx * qx + qy * qy <= r * r
    return inside, (min(xa, xb) - r, min(ya, yb) - r, max(xa, xb) + r, max(ya, yb) + r)


def polyline(points, width):
    parts = [line(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return union(*parts)


def union(*shapes):
    fs = [s[0] for s in shapes]
    boxes = [s[1] for s in shapes]
    return ((lambda x, y: any(f(x, y) for f in fs)),
            (min(b[0] for b in boxes), min(b[1] for b in boxes),
             max(b[2] for b in boxes), max(b[3] for b in boxes)))


def minus(shape, *holes):
    f, box = shape
    hs = [h[0] for h in holes]
    return (lambda x, y: f(x, y) and not any(h(x, y) for h in hs)), box


def intersect(shape, other):
    f, box = shape
    g = other[0]
    return (lambda x, y: f(x, y) and g(x, y)), box


def paint(canvas, shape, colour):
    canvas.fill(shape[0], colour, shape[1])


def vgrad(y0, c0, y1, c1):
    """Vertical gradient colour function."""
    def colour(_x, y):
        t = max(0.0, min(1.0, (y - y0) / float(y1 - y0)))
        return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))
    return colour


def dgrad(x0, y0, c0, x1, y1, c1):
    """Gradient along the direction (x0, y0) -> (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy
    def colour(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
        return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))
    return colour


def scaled(points, s, ox=0.0, oy=0.0):
    return [(ox + x * s, oy + y * s) for x, y in points]


# --------------------------------------------------------------------------
# Shared motifs
# --------------------------------------------------------------------------

def arrow_up(cx, top, bottom, half_head, half_shaft, head_len):
    return polygon([(cx, top), (cx + half_head, top + head_len), (cx + half_shaft, top + head_len),
                    (cx + half_shaft, bottom), (cx - half_shaft, bottom), (cx - half_shaft, top + head_len),
                    (cx - half_head, top + head_len)])


def arrow_down(cx, top, bottom, half_head, half_shaft, head_len):
    return polygon([(cx, bottom), (cx + half_head, bottom - head_len), (cx + half_shaft, bottom - head_len),
                    (cx + half_shaft, top), (cx - half_shaft, top), (cx - half_shaft, bottom - head_len),
                    (cx - half_head, bottom - head_len)])


def outlined(canvas, make, outline, body, grow):
    """Paints make(grow) in the outline colour, then make(0) in the body colour."""
    paint(canvas, make(grow), outline)
    paint(canvas, make(0.0), body)


def padlock(canvas, s, open_):
    """16 x 16 padlock scaled by s; open_ lifts and swings the shackle."""
    steel_dark, steel = (70, 80, 95), (165, 175, 190)
    if open_:
        # shackle raised and turned: its right leg leaves the body
        shackle = union(ring(4.5 * s, 5.5 * s, 3.6 * s, 2.1 * s, math.pi, 2 * math.pi),
                        rect(0.9 * s, 5.5 * s, 2.4 * s, 8.5 * s))
    else:
        shackle = union(ring(8 * s, 6 * s, 4.2 * s, 2.7 * s, math.pi, 2 * math.pi),
                        rect(3.8 * s, 6 * s, 5.3 * s, 8.5 * s),
                        rect(10.7 * s, 6 * s, 12.2 * s, 8.5 * s))
    paint(canvas, shackle, steel_dark)
    if open_:
        inner = union(ring(4.5 * s, 5.5 * s, 3.1 * s, 2.6 * s, math.pi, 2 * math.pi),
                      rect(1.4 * s, 5.5 * s, 1.9 * s, 8.3 * s))
    else:
        inner = union(ring(8 * s, 6 * s, 3.7 * s, 3.2 * s, math.pi, 2 * math.pi),
                      rect(4.3 * s, 6 * s, 4.8 * s, 8.3 * s),
                      rect(11.2 * s, 6 * s, 11.7 * s, 8.3 * s))
    paint(canvas, inner, steel)
    body_dark = (150, 95, 10)
    body = vgrad(8 * s, (255, 214, 90), 15 * s, (222, 150, 20))
    paint(canvas, rect(2.2 * s, 7.8 * s, 13.8 * s, 15.2 * s, 1.6 * s), body_dark)
    paint(canvas, rect(3.0 * s, 8.6 * s, 13.0 * s, 14.4 * s, 1.0 * s), body)
    # keyhole
    paint(canvas, union(circle(8 * s, 10.8 * s, 1.25 * s),
                        polygon([(7.4 * s, 11 * s), (8.6 * s, 11 * s), (9.0 * s, 13.4 * s), (7.0 * s, 13.4 * s)])),
          (90, 55, 5))


# --------------------------------------------------------------------------
# The pictures
# --------------------------------------------------------------------------

def draw_quit_16():
    c = Canvas(16, 16)
    paint(c, circle(8, 8, 7.6), (150, 20, 20))
    paint(c, circle(8, 8, 6.7), vgrad(1, (245, 90, 80), 15, (200, 30, 25)))
    paint(c, union(line(5, 5, 11, 11, 2.4), line(11, 5, 5, 11, 2.4)), (255, 255, 255))
    return c


def draw_link_16():
    # a globe: the site and the forum are places on the web
    c = Canvas(16, 16)
    paint(c, circle(8, 8, 7.6), (20, 70, 140))
    paint(c, circle(8, 8, 6.8), dgrad(3, 3, (120, 190, 250), 13, 13, (30, 110, 200)))
    grid = (225, 240, 255, 230)
    globe = circle(8, 8, 6.8)
    paint(c, intersect(union(ring(8, 8, 6.9, 6.0),
                             minus(ellipse(8, 8, 3.0, 6.8), ellipse(8, 8, 2.2, 6.0)),
                             rect(7.55, 1, 8.45, 15),
                             rect(1, 7.55, 15, 8.45),
                             rect(2, 4.3, 14, 5.0), rect(2, 11.0, 14, 11.7)), globe), grid)
    return c


def draw_about_16():
    c = Canvas(16, 16)
    paint(c, circle(8, 8, 7.6), (20, 60, 150))
    paint(c, circle(8, 8, 6.8), vgrad(1, (110, 160, 250), 15, (35, 90, 210)))
    white = (255, 255, 255)
    paint(c, circle(8, 4.6, 1.35), white)
    paint(c, union(rect(7.0, 6.8, 9.0, 12.0), rect(6.0, 6.8, 9.0, 7.8), rect(6.0, 11.2, 10.0, 12.3)), white)
    return c


def draw_help_16():
    # the locator's "Explications": a green question mark, unlike the blue "i"
    c = Canvas(16, 16)
    paint(c, circle(8, 8, 7.6), (20, 110, 40))
    paint(c, circle(8, 8, 6.8), vgrad(1, (120, 215, 120), 15, (35, 150, 60)))
    white = (255, 255, 255)
    paint(c, union(ring(8, 6.0, 3.1, 1.6, -math.pi * 1.05, math.pi * 0.45),
                   line(8.9, 8.6, 8.0, 9.6, 1.5), rect(7.25, 9.2, 8.75, 10.8)), white)
    paint(c, circle(8, 12.6, 1.0), white)
    return c


def draw_link_generator_16():
    # two interlocked chain links: the generator builds the install link
    c = Canvas(16, 16)
    ang = -math.pi / 4
    def link(cx, cy, grow):
        return minus(ellipse(cx, cy, 4.6 + grow, 2.6 + grow, ang), ellipse(cx, cy, 3.0 - grow, 1.1 - grow, ang))
    dark, steel, light = (40, 55, 80), (110, 130, 160), (185, 200, 225)
    paint(c, link(5.5, 10.5, 0.45), dark)
    paint(c, link(5.5, 10.5, 0.0), dgrad(2, 8, light, 9, 15, steel))
    paint(c, link(10.5, 5.5, 0.45), dark)
    paint(c, link(10.5, 5.5, 0.0), dgrad(7, 1, light, 15, 10, steel))
    # the first link passes over the second at the bottom crossing
    paint(c, intersect(link(5.5, 10.5, 0.45), rect(7.2, 7.6, 10.0, 11.0)), dark)
    paint(c, intersect(link(5.5, 10.5, 0.0), rect(7.2, 7.6, 10.0, 11.0)), dgrad(2, 8, light, 9, 15, steel))
    return c


def draw_chmod_apply_16():
    c = Canvas(16, 16)
    padlock(c, 1.0, open_=True)
    return c


def draw_chmod_restore_16():
    c = Canvas(16, 16)
    padlock(c, 1.0, open_=False)
    return c


def draw_stay_on_top_24():
    # a push pin, seen leaning, for the stay-on-top toggle
    c = Canvas(24, 24)
    ang = math.pi / 4  # axis from top-right (head) to bottom-left (point)
    ux, uy = -math.cos(ang), math.sin(ang)   # along the axis, towards the point
    vx, vy = uy, -ux                          # across the axis
    hx, hy = 15.5, 8.5                        # centre of the head
    def at(t, s):
        return (hx + ux * t + vx * s, hy + uy * t + vy * s)
    # needle
    paint(c, line(*at(4.5, 0), *at(13.5, 0), 1.7), (90, 95, 105))
    paint(c, line(*at(4.5, -0.25), *at(12.5, -0.25), 0.6), (200, 205, 215))
    # collar, then the head
    red_dark, red = (130, 10, 20), (225, 40, 45)
    paint(c, polygon([at(1.0, -5.6), at(1.0, 5.6), at(4.8, 3.2), at(4.8, -3.2)]), red_dark)
    paint(c, polygon([at(1.6, -4.6), at(1.6, 4.6), at(4.1, 2.6), at(4.1, -2.6)]), red)
    paint(c, polygon([at(-6.3, -3.4), at(-6.3, 3.4), at(1.7, 2.4), at(1.7, -2.4)]), red_dark)
    paint(c, polygon([at(-5.6, -2.6), at(-5.6, 2.6), at(1.0, 1.7), at(1.0, -1.7)]), red)
    paint(c, ellipse(*at(-6.6, 0), 2.2, 4.4, math.atan2(vy, vx) + math.pi / 2), red_dark)
    paint(c, ellipse(*at(-6.6, 0), 1.5, 3.6, math.atan2(vy, vx) + math.pi / 2), (245, 110, 110))
    return c


def book_open(c, ox, oy, s):
    """An open book, 76 x 50 units, drawn at (ox, oy) scaled by s."""
    P = lambda pts: scaled(pts, s, ox, oy)
    cover = (120, 30, 30)
    paint(c, polygon(P([(0, 8), (38, 14), (76, 8), (76, 46), (38, 52), (0, 46)])), cover)
    paper_edge = (190, 180, 150)
    paint(c, polygon(P([(2, 5), (38, 11), (74, 5), (74, 43), (38, 49), (2, 43)])), paper_edge)
    left = polygon(P([(4, 2), (20, 1), (37, 8), (37, 46), (20, 39), (4, 40)]))
    right = polygon(P([(39, 8), (56, 1), (72, 2), (72, 40), (56, 39), (39, 46)]))
    paint(c, left, dgrad(4 * s + ox, 0, (250, 246, 230), 37 * s + ox, 0, (225, 218, 195)))
    paint(c, right, dgrad(39 * s + ox, 0, (225, 218, 195), 72 * s + ox, 0, (252, 249, 236)))
    ink = (150, 150, 160)
    for i in range(6):
        y = 10 + i * 5
        paint(c, line(*P([(9, y - 1)])[0], *P([(32, y + 4)])[0], 1.0 * s), ink)
        if i < 4:
            paint(c, line(*P([(44, y + 4)])[0], *P([(66, y - 1)])[0], 1.0 * s), ink)
    paint(c, line(*P([(38, 9)])[0], *P([(38, 47)])[0], 1.1 * s), (150, 135, 110))


def quill(c, xa, ya, xb, yb, width):
    """A feather from the nib (xa, ya) to the top (xb, yb)."""
    ang = math.atan2(yb - ya, xb - xa)
    length = math.hypot(xb - xa, yb - ya)
    ux, uy = math.cos(ang), math.sin(ang)
    vx, vy = -uy, ux
    def at(t, s):
        return (xa + ux * t * length + vx * s * width, ya + uy * t * length + vy * s * width)
    vane = [at(0.18, 0)]
    for i in range(1, 13):
        t = 0.18 + 0.82 * i / 12.0
        vane.append(at(t, 0.55 * math.sin(math.pi * (i / 12.0) ** 0.8) + 0.05))
    for i in range(12, 0, -1):
        t = 0.18 + 0.82 * i / 12.0
        vane.append(at(t, -0.45 * math.sin(math.pi * (i / 12.0) ** 0.9) - 0.05))
    paint(c, polygon(vane), (95, 110, 140))
    inner = [at(0.22, 0)]
    for i in range(1, 12):
        t = 0.2 + 0.78 * i / 12.0
        inner.append(at(t, 0.42 * math.sin(math.pi * (i / 12.0) ** 0.8)))
    for i in range(11, 0, -1):
        t = 0.2 + 0.78 * i / 12.0
        inner.append(at(t, -0.33 * math.sin(math.pi * (i / 12.0) ** 0.9)))
    paint(c, polygon(inner), dgrad(*at(0.2, 0), (255, 255, 255), *at(1.0, 0), (205, 220, 240)))
    # barbs
    for i in range(3, 12):
        t = 0.2 + 0.78 * i / 12.0
        paint(c, line(*at(t, 0), *at(t + 0.05, 0.35 * math.sin(math.pi * i / 12.0)), 0.5), (150, 165, 195, 200))
    paint(c, line(*at(0.05, 0), *at(0.98, 0), max(1.0, width * 0.09)), (120, 100, 70))
    paint(c, polygon([at(-0.02, 0), at(0.12, 0.10), at(0.12, -0.10)]), (40, 35, 30))


def draw_about_picture():
    c = Canvas(80, 95)
    book_open(c, 2, 41, 1.0)
    quill(c, 50, 61, 74, 3, 16)
    paint(c, ellipse(46, 66, 3.0, 1.6), (30, 30, 60))  # fresh ink under the nib
    return c


def draw_tool_transfert():
    c = Canvas(128, 128)
    # a closed book, standing slightly turned, with its page block
    pages = polygon([(22, 40), (86, 34), (96, 44), (96, 118), (32, 122), (22, 112)])
    paint(c, pages, (120, 100, 70))
    paint(c, polygon([(26, 42), (88, 37), (93, 44), (93, 114), (30, 118), (26, 111)]),
          vgrad(40, (250, 245, 228), 118, (222, 214, 190)))
    for i in range(7):
        y = 50 + i * 9
        paint(c, line(88, y - 6 + i * 0.4, 93, y - 1 + i * 0.4, 0.8), (190, 180, 155))
    cover_dark = (90, 20, 25)
    paint(c, polygon([(14, 42), (82, 36), (84, 118), (18, 124)]), cover_dark)
    paint(c, polygon([(17, 45), (79, 39), (81, 115), (21, 120)]),
          dgrad(17, 45, (200, 55, 50), 81, 118, (140, 30, 30)))
    paint(c, polygon([(17, 45), (27, 44), (31, 119), (21, 120)]), (120, 25, 28))  # spine fold
    gold = (240, 200, 90)
    paint(c, rect(38, 58, 72, 60.5), gold)
    paint(c, rect(38, 94, 72, 96.5), gold)
    paint(c, polygon([(55, 66), (66, 77), (55, 88), (44, 77)]), gold)
    paint(c, polygon([(55, 71), (61, 77), (55, 83), (49, 77)]), (170, 40, 38))
    # upload arrow leaving the book
    outlined(c, lambda g: arrow_up(95, 4 - g * 1.3, 74 + g, 25 + g * 1.6, 10 + g, 28 + g * 0.3),
             (15, 90, 30), vgrad(4, (110, 230, 110), 74, (30, 150, 50)), 3.0)
    paint(c, polygon([(95, 9), (113, 29), (104, 29), (95, 19)]), (170, 245, 170, 150))
    return c


def draw_tool_navigateur():
    c = Canvas(128, 128)
    # a folder
    edge = (160, 110, 10)
    paint(c, polygon([(6, 30), (40, 30), (48, 40), (108, 40), (108, 104), (6, 104)]), edge)
    paint(c, polygon([(9, 33), (39, 33), (47, 43), (105, 43), (105, 101), (9, 101)]),
          vgrad(33, (250, 205, 90), 101, (225, 165, 40)))
    paint(c, polygon([(6, 52), (114, 52), (104, 108), (4, 108)]), edge)
    paint(c, polygon([(10, 55), (110, 55), (101, 105), (8, 105)]),
          vgrad(55, (255, 226, 130), 105, (240, 185, 60)))
    # magnifier
    paint(c, line(97, 97, 120, 120, 15), (50, 40, 35))
    paint(c, line(97, 97, 119, 119, 10), dgrad(95, 95, (150, 110, 80), 120, 120, (90, 60, 40)))
    paint(c, circle(80, 80, 28), (45, 55, 70))
    paint(c, circle(80, 80, 22), (190, 225, 250, 170))
    paint(c, ring(80, 80, 27, 22), dgrad(55, 55, (200, 210, 225), 105, 105, (100, 115, 135)))
    paint(c, ring(80, 80, 18, 15, math.pi * 1.05, math.pi * 1.45), (255, 255, 255, 220))
    return c


def draw_tool_sauvegarde():
    c = Canvas(128, 128)
    # a diskette
    body = dgrad(10, 10, (70, 120, 200), 100, 120, (30, 60, 130))
    paint(c, polygon([(8, 26), (88, 26), (102, 40), (102, 122), (8, 122)]), (20, 35, 80))
    paint(c, polygon([(11, 29), (87, 29), (99, 41), (99, 119), (11, 119)]), body)
    paint(c, rect(26, 29, 80, 58, 2), (200, 205, 215))
    paint(c, rect(62, 33, 73, 54, 1), (50, 70, 120))
    paint(c, rect(22, 74, 88, 119, 3), (245, 245, 240))
    for i in range(3):
        paint(c, rect(30, 84 + i * 10, 80, 86 + i * 10), (170, 175, 190))
    paint(c, rect(15, 110, 20, 115), (20, 35, 80))
    # arrow into the disk
    outlined(c, lambda g: arrow_down(98, 2 - g, 66 + g * 1.3, 25 + g * 1.6, 10 + g, 27 + g * 0.3),
             (150, 70, 0), vgrad(2, (255, 200, 90), 66, (235, 120, 20)), 3.0)
    return c


def draw_folder_32():
    c = Canvas(32, 32)
    edge = (150, 100, 10)
    paint(c, polygon([(2, 7), (12, 7), (14.5, 10), (29, 10), (29, 27), (2, 27)]), edge)
    paint(c, polygon([(3, 8), (11.5, 8), (14, 11), (28, 11), (28, 26), (3, 26)]), (235, 180, 55))
    paint(c, polygon([(2, 14), (31, 14), (28.5, 28), (1.5, 28)]), edge)
    paint(c, polygon([(3, 15), (29.8, 15), (27.7, 27), (2.6, 27)]), (255, 215, 100))
    return c


def draw_file_32():
    c = Canvas(32, 32)
    edge = (90, 95, 110)
    paint(c, polygon([(6, 2), (20, 2), (27, 9), (27, 30), (6, 30)]), edge)
    paint(c, polygon([(7, 3), (19.5, 3), (26, 9.5), (26, 29), (7, 29)]), (255, 255, 255))
    paint(c, polygon([(19, 3), (26, 10), (19, 10)]), (200, 205, 215))
    paint(c, polyline([(19.5, 3), (19.5, 9.5), (26, 9.5)], 1.0), edge)
    for i in range(6):
        paint(c, rect(10, 13 + i * 2.6, 23 if i % 3 != 2 else 18, 14 + i * 2.6), (120, 140, 190))
    return c


PICTURES = [
    # file name,              drawing,                 palette (256 colours) or RGBA
    ("quit_16.png",            draw_quit_16,            False),
    ("link_16.png",            draw_link_16,            False),
    ("about_16.png",           draw_about_16,           False),
    ("help_16.png",            draw_help_16,            False),
    ("link_generator_16.png",  draw_link_generator_16,  False),
    ("chmod_apply_16.png",     draw_chmod_apply_16,     False),
    ("chmod_restore_16.png",   draw_chmod_restore_16,   False),
    ("stay_on_top_24.png",     draw_stay_on_top_24,     False),
    ("about_picture_80x95.png", draw_about_picture,     False),
    ("tool_transfert_128.png", draw_tool_transfert,     False),
    ("tool_navigateur_128.png", draw_tool_navigateur,   False),
    ("tool_sauvegarde_128.png", draw_tool_sauvegarde,   False),
    ("folder_32.png",          draw_folder_32,          True),
    ("file_32.png",            draw_file_32,            True),
]


def main():
    for name, draw, palette in PICTURES:
        canvas = draw()
        data = (png_palette if palette else png_rgba)(canvas.w, canvas.h, canvas.rgba())
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
        print("%-26s %3d x %-3d %6d bytes" % (name, canvas.w, canvas.h, len(data)))


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Draws the pictures that serve only as program icons (no program shows them in a window).

Velmo_Maj has no menu and no About window, hence no picture of its own to make its icon
from: this draws one in the style of the launcher's tool pictures (draw_pictures.py, whose
shapes it uses) into assets/icons/, apart from the pictures the programs carry (every PNG
of assets/ itself is built into some program, and tests/assets checks that). Like the
other PNG files it is kept in the repository; the build turns it into the icon
(program_icon.py).
"""

import math
import os

import draw_pictures as d


def draw_tool_maj():
    # the guestbook (a closed book) inside two arrows turning around it: an update
    c = d.Canvas(128, 128)
    green_dark, blue_dark = (15, 90, 30), (20, 60, 150)
    upper = d.ring(64, 64, 60, 46, math.pi * 1.05, math.pi * 1.9)
    lower = d.ring(64, 64, 60, 46, math.pi * 0.05, math.pi * 0.9)

    def head(angle, turn):
        # arrow head at the end of an arc, pointing along the turn
        cx, cy = 64 + 53 * math.cos(angle), 64 + 53 * math.sin(angle)
        tx, ty = -math.sin(angle) * turn, math.cos(angle) * turn
        nx, ny = math.cos(angle), math.sin(angle)
        return d.polygon([(cx + tx * 20, cy + ty * 20), (cx + nx * 15, cy + ny * 15),
                          (cx - nx * 15, cy - ny * 15)])

    d.paint(c, d.union(upper, head(math.pi * 1.9, 1)), green_dark)
    d.paint(c, d.intersect(d.ring(64, 64, 58, 48), upper),
            d.vgrad(4, (110, 230, 110), 64, (30, 150, 50)))
    d.paint(c, d.union(lower, head(math.pi * 0.9, 1)), blue_dark)
    d.paint(c, d.intersect(d.ring(64, 64, 58, 48), lower),
            d.vgrad(64, (110, 160, 250), 124, (35, 90, 210)))
    # the book
    d.paint(c, d.rect(40, 34, 90, 96, 4), (90, 20, 25))
    d.paint(c, d.rect(43, 37, 87, 93, 3), d.dgrad(43, 37, (200, 55, 50), 87, 93, (140, 30, 30)))
    d.paint(c, d.rect(43, 37, 50, 93), (120, 25, 28))
    d.paint(c, d.rect(82, 40, 88, 90), (245, 240, 222))
    gold = (240, 200, 90)
    d.paint(c, d.polygon([(67, 52), (77, 65), (67, 78), (57, 65)]), gold)
    return c


PICTURES = [("tool_maj_128.png", draw_tool_maj)]


def main():
    for name, draw in PICTURES:
        canvas = draw()
        data = d.png_rgba(canvas.w, canvas.h, canvas.rgba())
        with open(os.path.join(d.HERE, "icons", name), "wb") as f:
            f.write(data)
        print("%-26s %3d x %-3d %6d bytes" % (name, canvas.w, canvas.h, len(data)))


if __name__ == "__main__":
    main()

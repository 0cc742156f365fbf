#!/usr/bin/python3
"""Makes a program's Windows icon (.ico) from one of our PNG pictures.

    program_icon.py PICTURE.png OUT.ico

The picture is centred on a square (a taller or wider one gets transparent margins) and
reduced to each icon size by area averaging on premultiplied colour, so edges stay soft
and transparent parts do not bleed dark fringes. Sizes up to 48 are stored as 32-bit
bitmaps with an AND mask (what every Windows version reads); the largest as PNG, which
Explorer uses for its big views. Standard library only (zlib, struct); the same input
gives the same bytes.
"""

import struct
import sys
import zlib

BITMAP_SIZES = (16, 24, 32, 48)
PNG_SIZE = 128


def read_png(path):
    """(width, height, rows of RGBA bytes) of an 8-bit RGBA or palette PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s: not a PNG file" % path)
    pos, idat, palette, trns = 8, bytearray(), None, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = body
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat += body
    if depth != 8 or colour not in (3, 6) or interlace:
        raise ValueError("%s: only 8-bit RGBA or palette PNG without interlacing" % path)
    channels = 4 if colour == 6 else 1
    raw = zlib.decompress(bytes(idat))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        previous = line
        if colour == 3:
            rgba = bytearray()
            for index in line:
                rgba += palette[index * 3:index * 3 + 3]
                rgba.append(trns[index] if index < len(trns) else 255)
            line = rgba
        rows.append(bytes(line))
    return width, height, rows


def squared(width, height, rows):
    """The picture centred on a transparent square of its larger side."""
    side = max(width, height)
    left, top = (side - width) // 2, (side - height) // 2
    blank = bytes(side * 4)
    out = [blank] * top
    for row in rows:
        out.append(bytes(left * 4) + row + bytes((side - width - left) * 4))
    out += [blank] * (side - height - top)
    return side, out


def reduce(side, rows, size):
    """Area-averaged copy of a side x side picture at size x size (RGBA rows)."""
    scale = side / size
    out = []
    for ty in range(size):
        y0, y1 = ty * scale, (ty + 1) * scale
        line = bytearray()
        for tx in range(size):
            x0, x1 = tx * scale, (tx + 1) * scale
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(int(y0), min(side, int(y1 + 0.999999))):
                wy = min(y1, sy + 1) - max(y0, sy)
                if wy <= 0:
                    continue
                row = rows[sy]
                for sx in range(int(x0), min(side, int(x1 + 0.999999))):
                    w = (min(x1, sx + 1) - max(x0, sx)) * wy
                    if w <= 0:
                        continue
                    r, g, b, a = row[sx * 4:sx * 4 + 4]
                    wa = w * a
                    acc[0] += r * wa
                    acc[1] += g * wa
                    acc[2] += b * wa
                    acc[3] += wa
            alpha = acc[3] / (scale * scale)
            if acc[3] > 0:
                line += bytes(min(255, int(round(c / acc[3]))) for c in acc[:3])
            else:
                line += b"\0\0\0"
            line.append(min(255, int(round(alpha))))
        out.append(bytes(line))
    return out


def bitmap_entry(size, rows):
    """A 32-bit BGRA DIB (bottom-up, height doubled for the mask) and its AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def png_entry(size, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def make_icon(picture_path):
    side, rows = squared(*read_png(picture_path))
    entries = [(size, bitmap_entry(size, reduce(side, rows, size))) for size in BITMAP_SIZES]
    entries.append((PNG_SIZE, png_entry(PNG_SIZE, reduce(side, rows, PNG_SIZE))))
    header = struct.pack("<HHH", 0, 1, len(entries))
    offset = len(header) + 16 * len(entries)
    directory, images = b"", b""
    for size, data in entries:
        # width/height 0 would mean 256; every size here is below that
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        images += data
    return header + directory + images


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: program_icon.py PICTURE.png OUT.ico\n")
        return 2
    data = make_icon(argv[1])
    with open(argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

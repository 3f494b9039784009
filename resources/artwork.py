#!/usr/bin/env python3
"""Draws Corvane's artwork and writes it as the files the resource script embeds.

Usage: artwork.py OUTPUT_FOLDER

Everything is drawn from the shapes below, so the pictures have no binary source: the program
icon and the .zip document icon (16, 20, 24, 32, 40, 48 and 256 pixels, with transparency, so that
the system finds one for every DPI and view), the plain document that stands for a file type
without an icon of its own, the five 24 x 24 toolbar
pictures on a silver background (silver is their mask colour, so no drawing uses it), and the
293 x 138 logo of the About box.
"""

import struct
import sys
from pathlib import Path

SILVER = (192, 192, 192, 255)
CLEAR = (0, 0, 0, 0)
WHITE = (255, 255, 255, 255)
INK = (32, 40, 64, 255)
NAVY = (28, 64, 128, 255)
SKY = (64, 132, 220, 255)
PAPER = (250, 250, 244, 255)
FOLD = (200, 204, 214, 255)
GOLD = (240, 190, 40, 255)
AMBER = (200, 140, 20, 255)
GREEN = (40, 160, 60, 255)
STEEL = (110, 116, 130, 255)


class Canvas:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.rect(x0, y0, x1, y0, colour)
        self.rect(x0, y1, x1, y1, colour)
        self.rect(x0, y0, x0, y1, colour)
        self.rect(x1, y0, x1, y1, colour)

    def polygon(self, points, colour):
        """Fills a polygon (pixel centres inside, even-odd rule)."""
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            cy = y + 0.5
            xs = []
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay <= cy < by) or (by <= cy < ay):
                    xs.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for left, right in zip(xs[::2], xs[1::2]):
                for x in range(int(left + 0.5), int(right + 0.5)):
                    self.put(x, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(int(cy - r), int(cy + r) + 2):
            for x in range(int(cx - r), int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)


def page(c, x0, y0, x1, y1, fold):
    """A sheet of paper with its top right corner folded over."""
    c.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], INK)
    c.polygon([(x0 + 1, y0 + 1), (x1 - fold, y0 + 1), (x1 - 1, y0 + fold + 1),
               (x1 - 1, y1 - 1), (x0 + 1, y1 - 1)], PAPER)
    c.polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], FOLD)


def zipper(c, x, y0, y1, tooth):
    """A column of zipper teeth, alternating left and right of x."""
    for i, y in enumerate(range(y0, y1, tooth)):
        left = x - tooth if i % 2 == 0 else x
        c.rect(left, y, left + tooth - 1, y + tooth - 1, STEEL)


def program_icon(size):
    c = Canvas(size, size, CLEAR)
    s = size / 32
    c.polygon([(2 * s, 6 * s), (30 * s, 6 * s), (30 * s, 30 * s), (2 * s, 30 * s)], INK)
    c.polygon([(3 * s, 7 * s), (29 * s, 7 * s), (29 * s, 29 * s), (3 * s, 29 * s)], NAVY)
    c.polygon([(3 * s, 7 * s), (29 * s, 7 * s), (29 * s, 12 * s), (3 * s, 12 * s)], SKY)
    zipper(c, int(16 * s), int(7 * s), int(29 * s), max(1, int(2 * s)))
    c.polygon([(12 * s, 2 * s), (20 * s, 2 * s), (20 * s, 12 * s), (12 * s, 12 * s)], INK)
    c.polygon([(13 * s, 3 * s), (19 * s, 3 * s), (19 * s, 11 * s), (13 * s, 11 * s)], GOLD)
    return c


def document_icon(size):
    c = Canvas(size, size, CLEAR)
    s = size / 32
    page(c, int(5 * s), int(1 * s), int(27 * s), int(31 * s), int(7 * s))
    zipper(c, int(16 * s), int(3 * s), int(22 * s), max(1, int(2 * s)))
    c.rect(int(13 * s), int(22 * s), int(19 * s), int(28 * s), GOLD)
    c.frame(int(13 * s), int(22 * s), int(19 * s), int(28 * s), AMBER)
    return c


def plain_document_icon(size):
    c = Canvas(size, size, CLEAR)
    s = size / 32
    page(c, int(5 * s), int(1 * s), int(27 * s), int(31 * s), int(7 * s))
    for y in (12, 17, 22):
        c.rect(int(9 * s), int(y * s), int(23 * s), int(y * s) + max(0, int(s) - 1), FOLD)
    return c


def folder(c, x0, y0, x1, y1):
    c.polygon([(x0, y0 + 2), (x0 + 6, y0 + 2), (x0 + 8, y0 + 4), (x1, y0 + 4), (x1, y1), (x0, y1)],
              AMBER)
    c.polygon([(x0 + 1, y0 + 5), (x1 - 1, y0 + 5), (x1 - 1, y1 - 1), (x0 + 1, y1 - 1)], GOLD)


def arrow(c, tail, head, colour):
    """A thick arrow from tail to head, horizontal or vertical."""
    (tx, ty), (hx, hy) = tail, head
    if ty == hy:
        d = 1 if hx > tx else -1
        c.rect(min(tx, hx - 4 * d), ty - 1, max(tx, hx - 4 * d), ty + 1, colour)
        c.polygon([(hx - 5 * d, ty - 5), (hx + d, ty + 0.5), (hx - 5 * d, ty + 6)], colour)
    else:
        d = 1 if hy > ty else -1
        c.rect(tx - 1, min(ty, hy - 4 * d), tx + 1, max(ty, hy - 4 * d), colour)
        c.polygon([(tx - 5, hy - 5 * d), (tx + 0.5, hy + d), (tx + 6, hy - 5 * d)], colour)


def archive_box(c, x0, y0, x1, y1):
    """A small archive: an outlined navy box with a zipper down its middle."""
    c.rect(x0, y0, x1, y1, INK)
    c.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, NAVY)
    zipper(c, (x0 + x1 + 1) // 2, y0 + 1, y1, 1)


def tool_new():
    c = Canvas(24, 24, SILVER)
    page(c, 4, 2, 19, 21, 5)
    c.disc(17, 17, 4.5, GOLD)
    c.rect(16, 14, 17, 20, AMBER)
    c.rect(14, 16, 19, 17, AMBER)
    return c


def tool_open():
    c = Canvas(24, 24, SILVER)
    folder(c, 1, 4, 20, 20)
    c.polygon([(5, 10), (23, 10), (19, 20), (1, 20)], AMBER)
    c.polygon([(6, 11), (21, 11), (18, 19), (3, 19)], GOLD)
    return c


def tool_add():
    """"Undo" key: the Add button's picture, a page going into the archive."""
    c = Canvas(24, 24, SILVER)
    page(c, 2, 1, 14, 16, 4)
    archive_box(c, 9, 13, 22, 22)
    c.rect(3, 18, 8, 19, GREEN)
    c.rect(5, 16, 6, 21, GREEN)
    return c


def tool_redo():
    """"Redo" key: a page coming back out of the archive."""
    c = Canvas(24, 24, SILVER)
    archive_box(c, 1, 13, 12, 22)
    arrow(c, (7, 11), (7, 1), GREEN)
    page(c, 14, 4, 22, 16, 3)
    return c


def tool_extract():
    c = Canvas(24, 24, SILVER)
    archive_box(c, 1, 10, 11, 22)
    folder(c, 13, 3, 23, 13)
    arrow(c, (6, 8), (6, 2), SKY)
    c.rect(6, 1, 14, 3, SKY)
    return c


# A 5 x 7 pixel alphabet for the logo's lettering, one string per row.
GLYPHS = {
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
}


def lettering(c, text, x, y, scale, colour):
    for ch in text:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "#":
                    c.rect(x + col * scale, y + row * scale, x + (col + 1) * scale - 1,
                           y + (row + 1) * scale - 1, colour)
        x += 6 * scale


def logo():
    c = Canvas(293, 138, WHITE)
    emblem = program_icon(96)
    for y in range(96):
        for x in range(96):
            if emblem.pixels[y][x][3]:
                c.put(8 + x, 21 + y, emblem.pixels[y][x])
    lettering(c, "Corvane", 112, 42, 4, NAVY)
    c.rect(112, 84, 276, 86, SKY)
    return c


def bmp(canvas):
    """A 24-bit bottom-up bitmap file."""
    stride = (canvas.width * 3 + 3) & ~3
    rows = b""
    for row in reversed(canvas.pixels):
        line = b"".join(bytes((b, g, r)) for r, g, b, _ in row)
        rows += line + b"\0" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(rows), 2835,
                       2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info)) + info + rows


def ico(canvases):
    """An icon file holding one 32-bit image (with its AND mask) per canvas."""
    images = []
    for c in canvases:
        colour = b"".join(bytes((b, g, r, a)) for row in reversed(c.pixels) for r, g, b, a in row)
        stride = ((c.width + 31) // 32) * 4
        mask = b""
        for row in reversed(c.pixels):
            bits = bytearray(stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        info = struct.pack("<IiiHHIIiiII", 40, c.width, c.height * 2, 1, 32, 0,
                           len(colour) + len(mask), 0, 0, 0, 0)
        images.append((c, info + colour + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in images:
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32, len(data),
                           offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


ICON_SIZES = (256, 48, 40, 32, 24, 20, 16)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "corvane.ico": ico([program_icon(size) for size in ICON_SIZES]),
        "zipfile.ico": ico([document_icon(size) for size in ICON_SIZES]),
        "document.ico": ico([plain_document_icon(size) for size in ICON_SIZES]),
        "new.bmp": bmp(tool_new()),
        "open.bmp": bmp(tool_open()),
        "undo.bmp": bmp(tool_add()),
        "redo.bmp": bmp(tool_redo()),
        "extractto.bmp": bmp(tool_extract()),
        "logo.bmp": bmp(logo()),
    }
    for name, data in files.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main()

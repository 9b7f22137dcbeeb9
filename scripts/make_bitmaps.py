#!/usr/bin/env python3
"""Turns the pixel pictures in res/bitmaps/*.txt into the BMP resources.

    make_bitmaps.py icons SOURCE OUT.bmp CELL_W CELL_H [--twins]
    make_bitmaps.py mono SOURCE OUT.bmp
    make_bitmaps.py picture SOURCE OUT.bmp
    make_bitmaps.py icon SOURCE OUT.ico

icons: a colour strip of two rows of cells, the pictures on white above and
the same pictures on magenta below; pixels that differ between the rows are
the transparent ones. With --twins every picture is followed by a twin that
carries a red plus. mono: a one-bit bitmap, k black and . white. picture:
one plain colour bitmap, . white. icon: an icon file with one image per
picture, each at its own size, . transparent.
"""
import struct
import sys

COLOURS = {
    'k': (0x00, 0x00, 0x00), 'w': (0xFF, 0xFF, 0xFF), 'l': (0xC0, 0xC0, 0xC0),
    'g': (0x80, 0x80, 0x80), 'd': (0x60, 0x60, 0x60), 'y': (0xF0, 0xD0, 0x50),
    'o': (0xA0, 0x70, 0x20), 'b': (0x20, 0x60, 0xD0), 'n': (0x00, 0x00, 0x80),
    'c': (0x80, 0xD0, 0xF0), 'r': (0xE0, 0x00, 0x00), 'G': (0x30, 0xA0, 0x30),
    'm': (0x80, 0x00, 0x00), 'p': (0xF0, 0xA0, 0xA0), 's': (0xA0, 0xB0, 0xD0),
}
TOP_BACKGROUND = (0xFF, 0xFF, 0xFF)
BOTTOM_BACKGROUND = (0xFF, 0x00, 0xFF)

# The plus of a twin, placed at the cell's bottom right.
PLUS = ["..kkk..",
        "..krk..",
        "kkkrkkk",
        "krrrrrk",
        "kkkrkkk",
        "..krk..",
        "..kkk.."]


def read_pictures(path):
    pictures, current = [], None
    for line in open(path, encoding='utf-8'):
        line = line.rstrip('\n')
        if line.startswith('#') or not line.strip():
            continue
        if line.startswith('picture'):
            current = []
            pictures.append(current)
        elif current is not None:
            current.append(line)
    return pictures


def check(pictures, w, h, path):
    for n, p in enumerate(pictures):
        if len(p) != h or any(len(row) != w for row in p):
            sys.exit('%s: picture %d is not %d x %d' % (path, n, w, h))
        for row in p:
            for ch in row:
                if ch != '.' and ch not in COLOURS:
                    sys.exit('%s: picture %d: unknown colour %r' % (path, n, ch))


def with_plus(picture):
    rows = [list(r) for r in picture]
    w, h = len(rows[0]), len(rows)
    for y, line in enumerate(PLUS):
        for x, ch in enumerate(line):
            if ch != '.':
                rows[h - len(PLUS) + y][w - len(PLUS) + x] = ch
    return [''.join(r) for r in rows]


def write_bmp24(path, width, height, pixel):
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        data += row + b'\0' * (stride - len(row))
    write_bmp(path, width, height, 24, b'', data)


def write_bmp(path, width, height, bits, palette, data):
    header_size = 14 + 40 + len(palette)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       len(palette) // 4, 0)
    head = struct.pack('<2sIHHI', b'BM', header_size + len(data), 0, 0, header_size)
    with open(path, 'wb') as f:
        f.write(head + info + palette + data)


def icons(source, out, w, h, twins):
    pictures = read_pictures(source)
    check(pictures, w, h, source)
    cells = []
    for p in pictures:
        cells.append(p)
        if twins:
            cells.append(with_plus(p))

    def pixel(x, y):
        cell = cells[x // w]
        ch = cell[y % h][x % w]
        if ch == '.':
            return TOP_BACKGROUND if y < h else BOTTOM_BACKGROUND
        return COLOURS[ch]
    write_bmp24(out, w * len(cells), 2 * h, pixel)


def mono(source, out):
    pictures = read_pictures(source)
    picture = pictures[0]
    w, h = len(picture[0]), len(picture)
    check(pictures, w, h, source)
    stride = ((w + 31) // 32) * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if picture[y][x] == '.':  # white: bit 1
                row[x // 8] |= 0x80 >> (x % 8)
        data += row
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    write_bmp(out, w, h, 1, palette, data)


def picture(source, out):
    p = read_pictures(source)[0]
    w, h = len(p[0]), len(p)
    check([p], w, h, source)
    write_bmp24(out, w, h, lambda x, y: COLOURS.get(p[y][x], TOP_BACKGROUND))


def icon_image(p):
    """One image of an icon file: its header, the colours with their alpha
    (bottom-up, 32 bits a pixel) and the AND mask (1 where transparent)."""
    w, h = len(p[0]), len(p)
    colours = bytearray()
    mask = bytearray()
    mask_stride = ((w + 31) // 32) * 4
    for y in range(h - 1, -1, -1):
        mask_row = bytearray(mask_stride)
        for x in range(w):
            ch = p[y][x]
            if ch == '.':
                colours += bytes((0, 0, 0, 0))
                mask_row[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = COLOURS[ch]
                colours += bytes((b, g, r, 255))
        mask += mask_row
    # The header's height counts the colours and the mask together.
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 32, 0, len(colours) + len(mask), 0, 0, 0, 0)
    return header + colours + mask


def icon(source, out):
    pictures = read_pictures(source)
    for p in pictures:
        check([p], len(p[0]), len(p), source)
        if len(p[0]) > 256 or len(p) > 256:
            sys.exit('%s: an icon image is at most 256 x 256' % source)
    images = [icon_image(p) for p in pictures]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b'', b''
    for p, image in zip(pictures, images):
        w, h = len(p[0]), len(p)
        entries += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    with open(out, 'wb') as f:
        f.write(directory + entries + data)


def main(argv):
    if len(argv) >= 6 and argv[1] == 'icons':
        icons(argv[2], argv[3], int(argv[4]), int(argv[5]), '--twins' in argv[6:])
    elif len(argv) == 4 and argv[1] == 'mono':
        mono(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == 'picture':
        picture(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == 'icon':
        icon(argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)

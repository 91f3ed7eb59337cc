#!/usr/bin/env python3
"""Turns browse_tree.txt into browse_tree.bmp: ten 16 x 15 images side by
side, 160 x 15 pixels, 4 bits per pixel with the standard 16-colour palette.
   res/browse_tree/make_bitmap.py   (run again after editing the text)"""
import os
import struct
import sys

WIDTH, HEIGHT, IMAGES = 16, 15, 10
# The 16 colours (RGB) and the character that stands for each.
PALETTE = [
    ('k', (0x00, 0x00, 0x00)), ('r', (0x80, 0x00, 0x00)), ('g', (0x00, 0x80, 0x00)),
    ('o', (0x80, 0x80, 0x00)), ('n', (0x00, 0x00, 0x80)), ('p', (0x80, 0x00, 0x80)),
    ('t', (0x00, 0x80, 0x80)), ('s', (0xC0, 0xC0, 0xC0)), ('d', (0x80, 0x80, 0x80)),
    ('R', (0xFF, 0x00, 0x00)), ('.', (0x00, 0xFF, 0x00)), ('Y', (0xFF, 0xFF, 0x00)),
    ('B', (0x00, 0x00, 0xFF)), ('M', (0xFF, 0x00, 0xFF)), ('C', (0x00, 0xFF, 0xFF)),
    ('w', (0xFF, 0xFF, 0xFF)),
]
INDEX = {c: i for i, (c, _) in enumerate(PALETTE)}


def read_images(path):
    images, current = [], None
    for number, line in enumerate(open(path), 1):
        line = line.rstrip('\n')
        if line.startswith('#'):
            continue
        if line.startswith('='):
            current = []
            images.append(current)
            continue
        if current is None or len(line) != WIDTH or any(c not in INDEX for c in line):
            sys.exit(f'{path}:{number}: expected {WIDTH} palette characters')
        current.append(line)
    if len(images) != IMAGES or any(len(rows) != HEIGHT for rows in images):
        sys.exit(f'{path}: expected {IMAGES} images of {HEIGHT} rows')
    return images


def bitmap(images):
    stride = (WIDTH * IMAGES * 4 + 31) // 32 * 4
    pixels = bytearray()
    for y in reversed(range(HEIGHT)):          # bottom-up rows
        row = ''.join(image[y] for image in images)
        packed = bytes(INDEX[row[x]] << 4 | INDEX[row[x + 1]] for x in range(0, len(row), 2))
        pixels += packed + bytes(stride - len(packed))
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for _, (r, g, b) in PALETTE)
    offset = 14 + 40 + len(colours)
    info = struct.pack('<IiiHHIIiiII', 40, WIDTH * IMAGES, HEIGHT, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    head = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return head + info + colours + bytes(pixels)


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    data = bitmap(read_images(os.path.join(here, 'browse_tree.txt')))
    with open(os.path.join(here, 'browse_tree.bmp'), 'wb') as f:
        f.write(data)

#!/usr/bin/env python3
"""Writes the binary media beside this script; run it again after a change.

connect.avi  the connection dialog's clip (AVI 101): two computers with a
             packet travelling from the left one to the right one.  An
             uncompressed 8-bit palette clip, so the animation control plays
             it without any codec.
caller.ico   a 32 x 32 icon for the callers that show a notification (the
             dada tool and the tests keep it in their own resources).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

W, H = 48, 24          # clip size in pixels
FRAMES = 12
FRAME_US = 100000      # 10 frames a second

# Palette indexes; index 0 is the clip's background (the control makes the
# first pixel's colour transparent).
BG, FRAME, SCREEN, PACKET, BASE = range(5)
PALETTE = [(192, 192, 192), (0, 0, 0), (0, 128, 128), (255, 255, 0), (128, 128, 128)]


def computer(px, x0):
    """A small computer: a monitor with a screen and a base."""
    for y in range(2, 14):
        for x in range(x0, x0 + 14):
            edge = y in (2, 13) or x in (x0, x0 + 13)
            px[y][x] = FRAME if edge else SCREEN
    for y in range(14, 17):
        for x in range(x0 + 5, x0 + 9):
            px[y][x] = BASE
    for y in range(17, 19):
        for x in range(x0 + 2, x0 + 12):
            px[y][x] = BASE


def frame(n):
    """Rows top to bottom; the packet moves along the line between the two."""
    px = [[BG] * W for _ in range(H)]
    computer(px, 1)
    computer(px, W - 15)
    for x in range(15, W - 15):
        if x % 2 == 0:
            px[8][x] = FRAME
    span = (W - 15) - 15 - 4
    left = 15 + (n * span) // (FRAMES - 1)
    for y in range(6, 11):
        for x in range(left, left + 4):
            px[y][x] = PACKET
    return px


def dib_rows(px, bpp_bytes, pixel):
    """Bottom-up rows, each padded to a multiple of 4 bytes."""
    out = b""
    for row in reversed(px):
        data = b"".join(pixel(v) for v in row)
        out += data + b"\0" * ((-len(data)) % 4)
    return out


def chunk(fourcc, data):
    return fourcc + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def lst(kind, data):
    return chunk(b"LIST", kind + data)


def make_avi():
    frames = [dib_rows(frame(n), 1, lambda v: bytes([v])) for n in range(FRAMES)]
    size = len(frames[0])
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    bih = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, size, 0, 0, len(PALETTE), 0)
    avih = struct.pack("<14I", FRAME_US, size * 10, 0, 0x10, FRAMES, 0, 1, size, W, H, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"DIB ", 0, 0, 0, 0,
                       FRAME_US, 1000000, 0, FRAMES, size, 0xFFFFFFFF, 0, 0, 0, W, H)
    hdrl = lst(b"hdrl", chunk(b"avih", avih) + lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", bih + palette)))
    movi_body = b""
    index = b""
    for data in frames:
        index += struct.pack("<4sIII", b"00db", 0x10, 4 + len(movi_body), len(data))
        movi_body += chunk(b"00db", data)
    body = b"AVI " + hdrl + lst(b"movi", movi_body) + chunk(b"idx1", index)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def make_ico():
    n = 32
    px = [[None] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            d = ((x - 15.5) ** 2 + (y - 15.5) ** 2) ** 0.5
            if d <= 14.5:
                px[y][x] = (0, 0, 0) if d > 13 else (0, 64, 160)
    for y in range(7, 11):               # the dot of an "i"
        for x in range(14, 18):
            px[y][x] = (255, 255, 255)
    for y in range(13, 25):              # its stem
        for x in range(14, 18):
            px[y][x] = (255, 255, 255)
    xor = dib_rows(px, 4, lambda v: struct.pack("<BBBB", v[2], v[1], v[0], 255) if v else b"\0\0\0\0")
    mask = b""
    for row in reversed(px):
        bits = 0
        for x, v in enumerate(row):
            if v is None:
                bits |= 1 << (n - 1 - x)
        mask += struct.pack(">I", bits)
    bih = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = bih + xor + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(image), 22) + image


if __name__ == "__main__":
    for name, data in (("connect.avi", make_avi()), ("caller.ico", make_ico())):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)

#!/usr/bin/env python3
"""Build 16-colour Windows .ico files from text pixel maps.

Usage: python3 make_icons.py OUTPUT_DIR INPUT.txt [INPUT.txt ...]

Writes OUTPUT_DIR/<basename>.ico for each input. A map holds one or more
images; each starts with a line "image WxH" followed by exactly H rows of
exactly W characters. Lines starting with '#' and blank lines are ignored.

Legend (one character per pixel, standard Windows 16-colour palette):
    .  transparent
    K  black    000000      D  grey     808080
    M  maroon   800000      R  red      FF0000
    G  green    008000      L  lime     00FF00
    O  olive    808000      Y  yellow   FFFF00
    N  navy     000080      B  blue     0000FF
    P  purple   800080      F  fuchsia  FF00FF
    T  teal     008080      A  aqua     00FFFF
    S  silver   C0C0C0      W  white    FFFFFF
"""

import struct
import sys
from pathlib import Path

# Palette order is the Windows VGA order; the letter's position is its index.
PALETTE = [
    ('K', 0x000000), ('M', 0x800000), ('G', 0x008000), ('O', 0x808000),
    ('N', 0x000080), ('P', 0x800080), ('T', 0x008080), ('S', 0xC0C0C0),
    ('D', 0x808080), ('R', 0xFF0000), ('L', 0x00FF00), ('Y', 0xFFFF00),
    ('B', 0x0000FF), ('F', 0xFF00FF), ('A', 0x00FFFF), ('W', 0xFFFFFF),
]
INDEX = {ch: i for i, (ch, _) in enumerate(PALETTE)}
TRANSPARENT = '.'


class MapError(Exception):
    pass


def parse_map(path):
    """Return a list of (width, height, rows) read from one pixel map."""
    images = []
    current = None  # (width, height, rows, header line number)

    def finish():
        w, h, rows, at = current
        if len(rows) != h:
            raise MapError(f'{path}:{at}: image {w}x{h} has {len(rows)} rows, expected {h}')
        images.append((w, h, rows))

    # latin-1 never fails to decode, so stray bytes surface below as
    # "unknown character" with a line number.
    text = Path(path).read_text(encoding='latin-1')
    for num, line in enumerate(text.splitlines(), 1):
        line = line.rstrip('\r')
        if not line or line.startswith('#'):
            continue
        if line.startswith('image'):
            if current:
                finish()
            try:
                w, h = (int(v) for v in line.split()[1].split('x'))
            except (IndexError, ValueError):
                raise MapError(f'{path}:{num}: bad header {line!r}, expected "image WxH"')
            if not (1 <= w <= 256 and 1 <= h <= 256):
                raise MapError(f'{path}:{num}: size {w}x{h} out of range 1..256')
            current = (w, h, [], num)
            continue
        if current is None:
            raise MapError(f'{path}:{num}: pixel row before any "image WxH" line')
        w, h, rows, _ = current
        if len(rows) == h:
            raise MapError(f'{path}:{num}: too many rows, image is {w}x{h}')
        if len(line) != w:
            raise MapError(f'{path}:{num}: row has {len(line)} pixels, expected {w}')
        for col, ch in enumerate(line, 1):
            if ch != TRANSPARENT and ch not in INDEX:
                raise MapError(f'{path}:{num}: unknown character {ch!r} in column {col}')
        rows.append(line)
    if current:
        finish()
    if not images:
        raise MapError(f'{path}: no image found')
    return images


def encode_image(w, h, rows):
    """BITMAPINFOHEADER + palette + 4bpp XOR + 1bpp AND, both bottom-up."""
    xor_stride = (w * 4 + 31) // 32 * 4
    and_stride = (w + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, ch in enumerate(row):
            if ch == TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)  # index stays 0 under the mask
            else:
                line[x // 2] |= INDEX[ch] << (4 if x % 2 == 0 else 0)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16, 0)
                       for _, rgb in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def build_ico(images):
    blobs = [encode_image(*img) for img in images]
    out = bytearray(struct.pack('<HHH', 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for (w, h, _), blob in zip(images, blobs):
        # 256 is stored as 0 in the one-byte size fields.
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write('usage: make_icons.py OUTPUT_DIR INPUT.txt [INPUT.txt ...]\n')
        return 2
    out_dir = Path(argv[1])
    try:
        # Parse everything first so a bad map leaves no half-written output.
        parsed = [(Path(p), parse_map(p)) for p in argv[2:]]
    except (MapError, OSError) as e:
        sys.stderr.write(f'make_icons: error: {e}\n')
        return 1
    out_dir.mkdir(parents=True, exist_ok=True)
    for src, images in parsed:
        (out_dir / (src.stem + '.ico')).write_bytes(build_ico(images))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Writes the image files of the image library and plug-in tests, with encoders independent of the
program: Python's standard library for PNG, GIF, BMP and the portable anymaps, ImageMagick for JPEG.

Usage: make_test_images.py <folder> <convert command>

alpha.png   4 x 3 RGBA: red = 60 x, green = 80 y, blue = 200, alpha = 0, 85, 170, 255 by column
trans.gif   4 x 2, palette red, green, blue, black, blue transparent; rows 0 1 2 3 / 2 2 0 1
plain.bmp   3 x 2, 24-bit: (x, y) = rgb(10 x, 20 y, 30)
grey.pgm    3 x 2, P5, maximum 255: 0 100 200 / 50 150 250
colour.ppm  2 x 2, P6, maximum 65535: (x, y) = rgb(65535 x, 65535 y, 32768)
photo.jpg   64 x 48 JPEG of one colour rgb(200, 40, 40)
large.png   4096 x 4096 RGBA: the top half opaque red, the bottom half opaque blue
"""
import os
import struct
import subprocess
import sys
import zlib


def png_raw(width, height, raw):
    """An 8-bit RGBA PNG of the filtered rows `raw` (each row a filter byte and its pixels)."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


def png(width, height, pixel):
    return png_raw(width, height,
                   b''.join(b'\0' + b''.join(bytes(pixel(x, y)) for x in range(width)) for y in range(height)))


def halves_png(side):
    top = b'\0' + bytes([255, 0, 0, 255]) * side
    bottom = b'\0' + bytes([0, 0, 255, 255]) * side
    return png_raw(side, side, top * (side // 2) + bottom * (side - side // 2))


def gif(width, height, palette, transparent, indexes):
    """An 8-bit GIF whose LZW stream sends every index as a literal code, with a clear code often
    enough that the code size stays at 9 bits."""
    palette = palette + [(0, 0, 0)] * (256 - len(palette))
    out = b'GIF89a' + struct.pack('<HHBBB', width, height, 0xf7, 0, 0) + b''.join(bytes(c) for c in palette)
    out += b'\x21\xf9\x04' + bytes([1]) + struct.pack('<H', 0) + bytes([transparent, 0])
    out += b'\x2c' + struct.pack('<HHHHB', 0, 0, width, height, 0)
    codes = [256]
    for n, index in enumerate(indexes):
        if n and n % 250 == 0:
            codes.append(256)
        codes.append(index)
    codes.append(257)
    bits = 0
    nbits = 0
    data = bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            data.append(bits & 0xff)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 0xff)
    out += bytes([8])
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out += bytes([len(block)]) + bytes(block)
    return out + b'\0;'


def bmp(width, height, pixel):
    stride = (width * 3 + 3) // 4 * 4
    rows = b''
    for y in reversed(range(height)):
        row = b''.join(bytes(reversed(pixel(x, y))) for x in range(width))
        rows += row + b'\0' * (stride - len(row))
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + 40 + len(rows), 0, 0, 54) + header + rows


def main():
    out_dir, convert = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    files = {
        'alpha.png': png(4, 3, lambda x, y: (60 * x, 80 * y, 200, [0, 85, 170, 255][x])),
        'trans.gif': gif(4, 2, [(255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 0, 0)], 2, [0, 1, 2, 3, 2, 2, 0, 1]),
        'plain.bmp': bmp(3, 2, lambda x, y: (10 * x, 20 * y, 30)),
        'large.png': halves_png(4096),
        'grey.pgm': b'P5\n# grey\n3 2\n255\n' + bytes([0, 100, 200, 50, 150, 250]),
        'colour.ppm': b'P6 2 2 65535\n' + b''.join(struct.pack('>HHH', 65535 * x, 65535 * y, 32768)
                                                  for y in range(2) for x in range(2)),
    }
    for name, data in files.items():
        with open(os.path.join(out_dir, name), 'wb') as f:
            f.write(data)
    subprocess.run([convert, '-size', '64x48', 'xc:rgb(200,40,40)', '-quality', '95',
                    os.path.join(out_dir, 'photo.jpg')], check=True)


if __name__ == '__main__':
    main()

#!/usr/bin/env python3
"""Writes the small brush fixtures of the scene tests (PNG, GIF, BMP, JPEG and a truncated PNG) with our own
minimal encoders, so the picture loader is checked against files made independently of it.
Run from anywhere: python3 make_brushes.py [output directory]."""
import math
import os
import struct
import sys
import zlib


def png(width, height, rows, colour_type):
    """rows: list of byte strings (RGBA for type 6, RGB for type 2)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def bmp(width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) -> (r, g, b)."""
    pad = (4 - width * 3 % 4) % 4
    body = b""
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b = pixel(x, y)
            body += bytes((b, g, r))
        body += b"\0" * pad
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + body


def gif(width, height, palette, index, transparent):
    """GIF89a with a global palette padded to 256 entries; index(x, y) -> palette index. LZW with a clear code before the
    table could grow past 8 bits, which keeps the encoder trivial and the file valid."""
    colours = b"".join(bytes(c) for c in palette) + b"\0" * (3 * (256 - len(palette)))
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0) + colours
    out += b"\x21\xF9\x04\x01\x00\x00" + bytes((transparent,)) + b"\x00"
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    codes = []
    clear, end = 256, 257
    pixels = [index(x, y) for y in range(height) for x in range(width)]
    for i, p in enumerate(pixels):
        if i % 200 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    # Each run of at most 200 literals after a clear stays below 512 entries, so codes are 9 bits wide.
    bits, nbits, data = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += 9
        while nbits >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 0xFF)
    out += b"\x08"
    for i in range(0, len(data), 255):
        block = bytes(data[i:i + 255])
        out += bytes((len(block),)) + block
    return out + b"\x00\x3B"


ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6, 7, 14,
          21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53,
          60, 61, 54, 47, 55, 62, 63]
DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALS = list(range(12))
AC_BITS = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
AC_VALS = bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435363738"
    "393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798999aa2a3a4a5"
    "a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa")


def huffman_codes(bits, values):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def jpeg_gray(width, height, pixel):
    """Baseline grayscale JPEG, quantiser 1 everywhere; width and height multiples of 8."""
    dc_codes, ac_codes = huffman_codes(DC_BITS, DC_VALS), huffman_codes(AC_BITS, AC_VALS)
    out = bytearray()
    acc, nacc = 0, 0

    def put(code, length):
        nonlocal acc, nacc
        acc = (acc << length) | code
        nacc += length
        while nacc >= 8:
            byte = (acc >> (nacc - 8)) & 0xFF
            out.append(byte)
            if byte == 0xFF:
                out.append(0)
            nacc -= 8

    def magnitude(v):
        size = abs(v).bit_length()
        return size, (v if v >= 0 else v + (1 << size) - 1)

    previous = 0
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            block = [[pixel(bx + x, by + y) - 128 for x in range(8)] for y in range(8)]
            coeffs = [0] * 64
            for v in range(8):
                for u in range(8):
                    s = 0.0
                    for y in range(8):
                        for x in range(8):
                            s += block[y][x] * math.cos((2 * x + 1) * u * math.pi / 16) * \
                                math.cos((2 * y + 1) * v * math.pi / 16)
                    cu = math.sqrt(0.5) if u == 0 else 1.0
                    cv = math.sqrt(0.5) if v == 0 else 1.0
                    coeffs[v * 8 + u] = int(round(0.25 * cu * cv * s))
            zz = [coeffs[ZIGZAG[i]] for i in range(64)]
            size, bits = magnitude(zz[0] - previous)
            previous = zz[0]
            put(*dc_codes[size])
            if size:
                put(bits, size)
            run = 0
            for v in zz[1:]:
                if v == 0:
                    run += 1
                    continue
                while run > 15:
                    put(*ac_codes[0xF0])
                    run -= 16
                size, bits = magnitude(v)
                put(*ac_codes[(run << 4) | size])
                put(bits, size)
                run = 0
            if run:
                put(*ac_codes[0x00])
    if nacc:
        put((1 << (8 - nacc)) - 1, 8 - nacc)

    def segment(marker, data):
        return bytes((0xFF, marker)) + struct.pack(">H", len(data) + 2) + data
    head = b"\xFF\xD8" + segment(0xE0, b"JFIF\0\x01\x01\0\0\x01\0\x01\0\0")
    head += segment(0xDB, b"\0" + b"\x01" * 64)
    head += segment(0xC0, struct.pack(">BHHB", 8, height, width, 1) + b"\x01\x11\x00")
    head += segment(0xC4, b"\x00" + bytes(DC_BITS) + bytes(DC_VALS))
    head += segment(0xC4, b"\x10" + bytes(AC_BITS) + AC_VALS)
    head += segment(0xDA, b"\x01\x01\x00\x00\x3F\x00")
    return head + bytes(out) + b"\xFF\xD9"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    # 8x6 RGBA: red left half, blue right half; alpha 255 on top, 128 in the middle rows, 0 at the bottom.
    def rgba_row(y):
        a = 255 if y < 2 else 128 if y < 4 else 0
        return b"".join(bytes((255, 0, 0, a)) if x < 4 else bytes((0, 0, 255, a)) for x in range(8))
    files = {
        "alpha.png": png(8, 6, [rgba_row(y) for y in range(6)], 6),
        # 8x6 green with a magenta square at 2..5 x 2..3 (a colour the tests use as transparent colour).
        "plain.bmp": bmp(8, 6, lambda x, y: (255, 0, 255) if 2 <= x < 6 and 2 <= y < 4 else (0, 255, 0)),
        # 8x6 with palette 0 yellow, 1 black (transparent): a black frame around a yellow inside.
        "key.gif": gif(8, 6, [(255, 255, 0), (0, 0, 0)],
                       lambda x, y: 1 if x in (0, 7) or y in (0, 5) else 0, 1),
        # 16x8 gray: dark left block, light right block.
        "gray.jpg": jpeg_gray(16, 8, lambda x, y: 0x40 if x < 8 else 0xC0),
    }
    files["truncated.png"] = files["alpha.png"][:45]
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

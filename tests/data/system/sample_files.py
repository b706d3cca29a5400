#!/usr/bin/env python3
"""Icon and catalog files written and read independently of the player's own code.

  sample_files.py icon PATH                 a project icon with two two-plane images and tool types
  sample_files.py read-icon PATH            prints type, default tool and tool types, one per line
  sample_files.py catalog PATH VERSION      a catalog with German texts
  sample_files.py png PATH                  a 3 x 2 picture with an alpha channel
"""
import struct
import sys
import zlib


def text(s):
    b = s.encode("latin-1") + b"\0"
    return struct.pack(">I", len(b)) + b


def image(width, height, depth, seed):
    words = (width + 15) // 16
    planes = bytes((seed + i * 7) & 0xFF for i in range(words * 2 * height * depth))
    return struct.pack(">hhhhhIBBI", 0, 0, width, height, depth, 1, 3, 0, 0) + planes


def icon(path):
    gadget = struct.pack(">IhhhhHHHIIIIIHI", 0, 10, 20, 24, 12, 5, 3, 1, 1, 1, 0, 0, 0, 0, 1)
    header = struct.pack(">HH", 0xE310, 1) + gadget
    header += struct.pack(">BBIIiiIIi", 4, 0, 1, 1, 123, 45, 0, 0, 8192)
    tools = ["  (KEY = some value  )", "FLAG", 'NAME=" quoted  value "', "", "AFTER=end"]
    body = image(24, 12, 2, 1) + image(24, 12, 2, 99)
    body += text("SYS:Utilities/MultiView")
    body += struct.pack(">I", (len(tools) + 1) * 4) + b"".join(text(t) for t in tools)
    trailing = b"FORM" + struct.pack(">I", 4) + b"ICON"
    open(path, "wb").write(header + body + trailing)


def read_icon(path):
    data = open(path, "rb").read()
    at = 0

    def take(n):
        nonlocal at
        if at + n > len(data):
            raise SystemExit("truncated")
        part = data[at:at + n]
        at += n
        return part

    def read_text():
        (n,) = struct.unpack(">I", take(4))
        return take(n).split(b"\0")[0].decode("latin-1")

    header = take(78)
    magic, version = struct.unpack(">HH", header[:4])
    assert magic == 0xE310, "magic"
    render, select = struct.unpack(">II", header[22:30])
    revision = header[47]
    kind = header[48]
    tool, types, drawer, window = struct.unpack(">IIxxxxxxxxII", header[50:74])
    if drawer:
        take(56)
    for present in (render, select):
        if present:
            _, _, w, h, d, data_ptr, _, _, _ = struct.unpack(">hhhhhIBBI", take(20))
            if data_ptr:
                take((w + 15) // 16 * 2 * h * d)
    print("type", kind)
    print("tool", read_text() if tool else "")
    if types:
        (count,) = struct.unpack(">I", take(4))
        for _ in range(count // 4 - 1):
            print("tooltype", read_text())
    if window:
        read_text()
    if drawer and revision == 1:
        take(6)
    print("drawer", 1 if drawer else 0, "rest", len(data) - at)


def chunk(name, payload):
    pad = b"\0" if len(payload) % 2 else b""
    return name + struct.pack(">I", len(payload)) + payload + pad


def catalog(path, version):
    strings = b""
    for ident, s in ((3, "Hallo Welt"), (7, "Grüße"), (3, "zweite Fassung")):
        b = s.encode("latin-1") + b"\0"
        strings += struct.pack(">II", ident, len(b)) + b + b"\0" * ((4 - len(b) % 4) % 4)
    body = b"CTLG"
    body += chunk(b"FVER", b"$VER: app.catalog %d.1 (07.12.2026)\0" % version)
    body += chunk(b"LANG", b"deutsch\0")
    body += chunk(b"CSET", bytes(32))
    body += chunk(b"STRS", strings)
    open(path, "wb").write(b"FORM" + struct.pack(">I", len(body)) + body)


def png(path):
    rows = [[(255, 0, 0, 255), (0, 255, 0, 128), (0, 0, 255, 0)],
            [(10, 20, 30, 40), (200, 100, 50, 255), (1, 2, 3, 4)]]
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def part(name, payload):
        return struct.pack(">I", len(payload)) + name + payload + struct.pack(">I", zlib.crc32(name + payload))

    data = b"\x89PNG\r\n\x1a\n" + part(b"IHDR", struct.pack(">IIBBBBB", 3, 2, 8, 6, 0, 0, 0))
    data += part(b"IDAT", zlib.compress(raw)) + part(b"IEND", b"")
    open(path, "wb").write(data)


if __name__ == "__main__":
    command, path = sys.argv[1], sys.argv[2]
    if command == "icon":
        icon(path)
    elif command == "read-icon":
        read_icon(path)
    elif command == "catalog":
        catalog(path, int(sys.argv[3]) if len(sys.argv) > 3 else 2)
    elif command == "png":
        png(path)


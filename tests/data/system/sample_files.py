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
    data, at = open(path, "rb").read(), 78

    def take(n):
        nonlocal at
        assert at + n <= len(data), "truncated"
        at += n
        return data[at - n:at]

    def read_text():
        return take(struct.unpack(">I", take(4))[0]).split(b"\0")[0].decode("latin-1")

    assert data[:2] == b"\xe3\x10", "magic"
    render, select = struct.unpack(">II", data[22:30])
    tool, types, drawer, window = struct.unpack(">IIxxxxxxxxII", data[50:74])
    take(56 if drawer else 0)
    for present in (render, select):
        if present:
            _, _, w, h, d, planes, _, _, _ = struct.unpack(">hhhhhIBBI", take(20))
            take((w + 15) // 16 * 2 * h * d if planes else 0)
    print("type", data[48])
    print("tool", read_text() if tool else "")
    for _ in range(struct.unpack(">I", take(4))[0] // 4 - 1 if types else 0):
        print("tooltype", read_text())
    if window:
        read_text()
    take(6 if drawer and data[47] == 1 else 0)
    print("drawer", 1 if drawer else 0, "rest", len(data) - at)


def chunk(name, payload):
    pad = b"\0" if len(payload) % 2 else b""
    return name + struct.pack(">I", len(payload)) + payload + pad


def catalog(path, version, texts=((3, "Hallo Welt"), (7, "Grüße"), (3, "zweite Fassung"))):
    strings = b""
    for ident, s in texts:
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
    elif command == "program-catalog":
        # The player's own texts: loading a brush, and the line after the display opened.
        catalog(path, 1, ((101, "Lade Pinsel %s"), (99, "Anzeige"), (95, "fertig"), (372, "Und los!")))
    elif command == "png":
        png(path)


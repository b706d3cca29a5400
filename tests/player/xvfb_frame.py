"""The picture Xvfb keeps in its -fbdir file, read from outside the program that draws it."""
import struct


def read_frame(path):
    """px(x, y) -> the 0xRRGGBB colour at (x, y) of the screen Xvfb wrote to path."""
    data = open(path, "rb").read()
    h = struct.unpack(">25I", data[:100])
    at = h[0] + h[19] * 12  # the pixels follow the header, the window name and the colour map
    return lambda x, y: int.from_bytes(data[at + y * h[12] + x * 4:at + y * h[12] + x * 4 + 3], "little")

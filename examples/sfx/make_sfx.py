#!/usr/bin/env python3
"""Synthesises the demo's chime into a WAVE file: python3 make_sfx.py (writes beside itself)."""
import math
import os
import struct
import wave

RATE = 22050


def chime():
    """Two bell-like notes (E5 then B5), each with a quick attack and an exponential decay."""
    out = []
    for start, freq in ((0.0, 659.25), (0.12, 987.77)):
        first = int(start * RATE)
        while len(out) < first + int(0.3 * RATE):
            out.append(0.0)
        for i in range(int(0.3 * RATE)):
            t = i / RATE
            envelope = min(1.0, t / 0.005) * math.exp(-t * 9)
            tone = math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(2 * math.pi * 2 * freq * t)
            out[first + i] += 0.45 * envelope * tone
    return out


if __name__ == "__main__":
    samples = chime()
    with wave.open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "chime.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples))

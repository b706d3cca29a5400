#!/usr/bin/python3
"""Writes effects.mod, a module whose note onsets depend on speed, tempo, pattern loop, pattern delay, note delay,
retrigger, break and jump effects, renders it once with xmp (apt-get install xmp) and writes effects.onsets: the
onset frames at 48000 Hz, one a line. Run once when the module changes; the output is checked in."""
import os
import struct
import subprocess
import tempfile
import wave

RATE = 48000
C3 = 214


def cell(period=0, instrument=0, effect=0, param=0):
    return bytes([(instrument & 0xF0) | (period >> 8), period & 0xFF, ((instrument & 15) << 4) | effect, param])


def pattern(rows):
    """rows: {row: {channel: (period, instrument, effect, param)}}"""
    out = bytearray()
    for r in range(64):
        for ch in range(4):
            out += cell(*rows.get(r, {}).get(ch, (0, 0, 0, 0)))
    return bytes(out)


def module(patterns, orders, samples):
    head = b'effects'.ljust(20, b'\0')
    for i in range(31):
        if i < len(samples):
            data, volume, loop_start, loop_len = samples[i]
            head += b'burst'.ljust(22, b'\0') + struct.pack('>HBBHH', len(data) // 2, 0, volume, loop_start // 2,
                                                            max(loop_len // 2, 1))
        else:
            head += bytes(22) + struct.pack('>HBBHH', 0, 0, 0, 0, 1)
    head += bytes([len(orders), 127]) + bytes(orders).ljust(128, b'\0') + b'M.K.'
    return head + b''.join(patterns) + b''.join(s[0] for s in samples)


def note(effect=0, param=0):
    return (C3, 1, effect, param)


def fx(effect, param):
    return (0, 0, effect, param)


# A 12 ms burst: loud square wave, then nothing, so every onset stands alone.
burst = bytes([100 if (i // 8) % 2 == 0 else 156 for i in range(200)])
p0 = pattern({0: {0: note(), 1: fx(0xF, 3)}, 4: {0: note()}, 8: {0: note(), 1: fx(0xE, 0x60)}, 10: {0: note()},
              12: {1: fx(0xE, 0x62)}, 16: {0: note(0xE, 0xD2)}, 18: {1: fx(0xF, 6)}, 20: {0: note(0xE, 0x92)},
              24: {0: note(), 1: fx(0xE, 0xE2)}, 25: {0: note()}, 28: {1: fx(0xD, 0x10)}})
p1 = pattern({10: {0: note(), 1: fx(0xF, 80)}, 12: {0: note()}, 14: {0: note(), 1: fx(0xB, 3)}})
p2 = pattern({0: {0: note()}, 1: {0: note()}})
p3 = pattern({0: {0: note(), 1: fx(0xF, 125)}, 2: {0: note()}, 4: {0: note(0xE, 0xC1)}, 8: {0: note()}})
mod = module([p0, p1, p2, p3], [0, 1, 2, 3], [(burst, 64, 0, 0)])
here = os.path.dirname(os.path.abspath(__file__))
open(os.path.join(here, 'effects.mod'), 'wb').write(mod)


def onsets(frames, threshold=2000, gap=240):
    """Frames where the level rises above threshold after at least gap quiet frames."""
    found, quiet = [], gap
    for i, level in enumerate(frames):
        if level > threshold:
            if quiet >= gap:
                found.append(i)
            quiet = 0
        else:
            quiet += 1
    return found


with tempfile.TemporaryDirectory() as tmp:
    rendered = os.path.join(tmp, 'out.wav')
    subprocess.run(['xmp', '--norc', '--nocmd', '-q', '-d', 'wav', '-o', rendered, '-f', str(RATE), '-m', '-i',
                    'nearest', os.path.join(here, 'effects.mod')], check=True)
    with wave.open(rendered) as w:
        data = w.readframes(w.getnframes())
levels = [abs(v) for (v,) in struct.iter_unpack('<h', data)]
with open(os.path.join(here, 'effects.onsets'), 'w') as out:
    out.write(''.join(f'{f}\n' for f in onsets(levels)))

#!/usr/bin/env bash
# Makes the sound fixtures with sox, lame and twolame, and sox's own raw decode of every file our decoders read.
# Run once when the fixtures change (apt-get install sox libsox-fmt-all lame twolame); the output is checked in.
set -euo pipefail
cd "$(dirname "$0")"
s() { sox -q "$@"; }
s -n -r 8000 -b 8 -c 1 mono.8svx synth 0.1 sine 440
s -n -r 8000 -b 8 -c 2 stereo.8svx synth 0.1 sine 440 sine 660
s -n -r 8000 -b 8 -c 1 mono8.wav synth 0.1 sine 440
s -n -r 8000 -b 8 -c 2 stereo8.wav synth 0.1 sine 440 sine 660
s -n -r 11025 -b 16 -c 1 mono16.wav synth 0.1 sine 440
s -n -r 11025 -b 16 -c 2 stereo16.wav synth 0.1 sine 440 sine 660
s -n -r 8000 -b 24 -c 1 deep24.wav synth 0.05 sine 440
s -n -r 8000 -b 16 -c 4 quad.wav synth 0.05 sine 440
s -n -r 11025 -c 1 tone.ogg synth 0.2 sine 440
s -n -r 11025 -b 16 -c 1 tone.flac synth 0.2 sine 440
s -n -r 11025 -b 16 -c 2 tone.aiff synth 0.2 sine 440 sine 660
for f in mono.8svx stereo.8svx mono8.wav stereo8.wav; do s "$f" -t s8 "$f.raw"; done
for f in mono16.wav stereo16.wav; do s "$f" -t s16 -L "$f.raw"; done
# A LIST chunk before "fmt " and an odd-length chunk (with its pad byte) before "data".
/usr/bin/python3 - <<'PY'
import struct
data = open('stereo16.wav', 'rb').read()
chunks, pos = [], 12
while pos + 8 <= len(data):
    cid, n = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
    chunks.append((cid, data[pos + 8:pos + 8 + n]))
    pos += 8 + n + (n & 1)
def chunk(cid, body):
    return cid + struct.pack('<I', len(body)) + body + (b'\0' if len(body) & 1 else b'')
body = chunk(b'LIST', b'INFOICMT\x05\x00\x00\x00test\x00\x00')
for cid, payload in chunks:
    if cid == b'data':
        body += chunk(b'note', b'odd')
    body += chunk(cid, payload)
open('chunky16.wav', 'wb').write(b'RIFF' + struct.pack('<I', 4 + len(body)) + b'WAVE' + body)
PY
s -n -r 44100 -b 16 -c 2 music.wav synth 1.0 sine 440 sine 660
lame --quiet -b 128 --cbr music.wav layer3.mp3
twolame --quiet -b 128 music.wav layer2.mp2
rm music.wav

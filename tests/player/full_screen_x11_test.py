#!/usr/bin/env python3
"""-fullscreen on a real X server (Xvfb), with and without layers: the picture must show whole, unscaled and
centred on the black backfill. Runs on the plain server, and once more under each window manager that is
installed; skipped (77) without Xvfb. The framebuffer is read from the XWD file Xvfb keeps with -fbdir.

usage: full_screen_x11_test.py PLAYER COMPILER"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

PLAYER, COMPILER = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
SCREEN_W, SCREEN_H = 640, 480
PICTURE_W, PICTURE_H = 100, 60
WINDOW_MANAGERS = ["openbox", "fluxbox", "icewm", "xfwm4", "metacity", "matchbox-window-manager", "twm"]


def framebuffer(path):
    """The screen as rows of 0xRRGGBB from Xvfb's XWD file (32 bits a pixel)."""
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header, width, height, bytes_per_line, colours = fields[0], fields[4], fields[5], fields[12], fields[19]
    start = header + colours * 12
    rows = []
    for y in range(height):
        row = data[start + y * bytes_per_line:start + y * bytes_per_line + width * 4]
        rows.append([row[x * 4 + 2] << 16 | row[x * 4 + 1] << 8 | row[x * 4] for x in range(width)])
    return rows


def picture_box(rows, colours):
    """The bounding box of the pixels in the picture's colours (the pointer is white and black)."""
    xs, ys = [], []
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c in colours:
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def check(scratch, fbdir, display, layers):
    script = os.path.join(scratch, "full.vls")
    with open(script, "w") as f:
        f.write("@DISPLAY {Width = %d, Height = %d, Color = $405060}\n" % (PICTURE_W, PICTURE_H))
        if layers:
            f.write("EnableLayers()\n")
        f.write("Box(10, 10, 30, 20, $FF8000)\nWait(3000)\n")
    subprocess.run([COMPILER, "-o", os.path.join(scratch, "full.vla"), script], check=True)
    env = dict(os.environ, DISPLAY=display, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy")
    player = subprocess.Popen([PLAYER, "-quiet", "-fullscreen", "full.vla"], cwd=scratch, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    want = ((SCREEN_W - PICTURE_W) // 2, (SCREEN_H - PICTURE_H) // 2,
            (SCREEN_W + PICTURE_W) // 2 - 1, (SCREEN_H + PICTURE_H) // 2 - 1)
    box, rows = None, None
    try:
        deadline = time.time() + 60
        while time.time() < deadline and player.poll() is None:
            rows = framebuffer(os.path.join(fbdir, "Xvfb_screen0"))
            box = picture_box(rows, {0x405060, 0xFF8000})
            if box == want and rows[want[1] + 10][want[0] + 10] == 0xFF8000:
                break
            time.sleep(0.3)
    finally:
        player.kill()
        output = player.communicate()[0].decode(errors="replace")
    if box != want:
        return "picture at %s, expected %s; player said: %s" % (box, want, output.strip())
    if rows[want[1] + 10][want[0] + 10] != 0xFF8000 or rows[want[1]][want[0]] != 0x405060:
        return "the picture's own pixels are not shown"
    if any(rows[y][x] != 0 for x, y in [(0, 0), (SCREEN_W - 1, SCREEN_H - 1), (want[0] - 1, want[1])]):
        return "the border is not the black backfill"
    return None


def main():
    if not shutil.which("Xvfb"):
        print("Xvfb is not installed: skipped")
        return 77
    scratch = tempfile.mkdtemp(prefix="vl_full_screen_")
    fbdir = os.path.join(scratch, "fb")
    os.makedirs(fbdir)
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "%dx%dx24" % (SCREEN_W, SCREEN_H), "-fbdir", fbdir, "-nolisten", "tcp"],
                              pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    failures = []
    try:
        display = ":" + os.read(read_end, 16).decode().strip()
        setups = [None] + [wm for wm in WINDOW_MANAGERS if shutil.which(wm)]
        for wm in setups:
            manager = None
            if wm:
                manager = subprocess.Popen([wm], env=dict(os.environ, DISPLAY=display),
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                time.sleep(1)
            for layers in (False, True):
                problem = check(scratch, fbdir, display, layers)
                if problem:
                    failures.append("%s, %s: %s" % (wm or "no window manager", "layers" if layers else "no layers",
                                                    problem))
            if manager:
                manager.kill()
                manager.wait()
    finally:
        server.kill()
        server.wait()
        shutil.rmtree(scratch, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

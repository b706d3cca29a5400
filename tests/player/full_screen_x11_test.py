#!/usr/bin/env python3
"""full_screen_x11_test.py PLAYER COMPILER: -fullscreen on Xvfb (plain, then under each installed window manager),
with and without layers, shows the picture whole and centred on black. Exit 77 without Xvfb."""
import os, shutil, subprocess, sys, tempfile, time
from window_manager import start_manager, start_server
from xvfb_frame import read_frame

PLAYER, COMPILER = map(os.path.abspath, sys.argv[1:3])
WANT = (270, 210, 369, 269)  # a 100x60 picture on 640x480
if not shutil.which("Xvfb"):
    sys.exit(77)


def problem(layers):
    with open(os.path.join(scratch, "f.vls"), "w") as f:
        f.write("@DISPLAY {Width = 100, Height = 60, Color = $405060}\n%sBox(10, 10, 30, 20, $FF8000)\nWait(600000)\n"
                % ("EnableLayers()\n" if layers else ""))
    subprocess.run([COMPILER, "-o", "f.vla", "f.vls"], cwd=scratch, check=True)
    player = subprocess.Popen([PLAYER, "-quiet", "-fullscreen", "f.vla"], cwd=scratch, stdout=subprocess.DEVNULL,
                              env=dict(os.environ, DISPLAY=display, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy"))
    # The picture may show before the box is drawn on it: wait for the whole of what is expected. The script waits
    # on until it is killed, however long a loaded machine takes to show it.
    found, ok, deadline = None, False, time.time() + 60
    while not ok and time.time() < deadline and player.poll() is None:
        time.sleep(0.3)
        px = read_frame(os.path.join(scratch, "Xvfb_screen0"))
        # The pointer is black and white; the picture's colours are not.
        shown = [(x, y) for y in range(480) for x in range(640) if px(x, y) in (0x405060, 0xFF8000)]
        found = shown and (min(x for x, _ in shown), shown[0][1], max(x for x, _ in shown), shown[-1][1])
        ok = found == WANT and px(280, 220) == 0xFF8000 and not (px(0, 0) or px(639, 479) or px(269, 210))
    player.kill()
    if not ok:
        return "picture at %s, expected %s on black" % (found, WANT)


scratch = tempfile.mkdtemp()
server, display = start_server(fbdir=scratch)
failures = []
for wm in [None] + [w for w in ("openbox", "fluxbox", "icewm", "xfwm4", "metacity", "twm") if shutil.which(w)]:
    # A window opened before the manager runs may stay unmanaged: wait until it does (twm makes no claim that
    # shows, and gets two seconds).
    manager = wm and start_manager(wm, dict(os.environ, DISPLAY=display), 2 if wm == "twm" else 20)
    failures += ["%s, layers %s: %s" % (wm, layers, p) for layers in (False, True) if (p := problem(layers))]
    manager and manager.kill()
server.kill()
shutil.rmtree(scratch, ignore_errors=True)
print("\n".join(failures))
sys.exit(1 if failures else 0)

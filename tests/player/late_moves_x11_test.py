#!/usr/bin/env python3
"""late_moves_x11_test.py PLAYER COMPILER: on Xvfb, read from outside, the window shows a moved sprite or layer
while the script only computes afterwards (math commands in an endless loop), not only at its next wait.
Exit 77 without Xvfb."""
import os, shutil, subprocess, sys, tempfile, time
from window_manager import start_server
from xvfb_frame import read_frame

PLAYER, COMPILER = map(os.path.abspath, sys.argv[1:3])
if not shutil.which("Xvfb"):
    sys.exit(77)

START = ("@DISPLAY {Width = 160, Height = 100, X = 0, Y = 0, Borderless = True, Color = $405060}\n"
         "CreateBrush(1, 16, 16, $FF0000)\n")
COMPUTE = "Local x = 0\nWhile True\n    x = x + Sin(x) + StrLen(\"ab\")\nWend\n"
MOVES = {  # how: what shows the box at (100, 60), waits, then moves it to (8, 8)
    "DisplaySprite": "CreateSprite(1, #BRUSH, 1)\nDisplaySprite(1, 100, 60)\nWait(1)\nDisplaySprite(1, 8, 8)\n",
    "TranslateLayer": "EnableLayers()\nDisplayBrush(1, 100, 60)\nWait(1)\nTranslateLayer(1, -92, -52)\n",
    "SetLayerStyle": "EnableLayers()\nDisplayBrush(1, 100, 60)\nWait(1)\nSetLayerStyle(1, {X = 8, Y = 8})\n",
}


def moved(how, script):
    with open(os.path.join(scratch, "m.vls"), "w") as f:
        f.write(START + script + COMPUTE)
    subprocess.run([COMPILER, "-o", "m.vla", "m.vls"], cwd=scratch, check=True)
    player = subprocess.Popen([PLAYER, "-quiet", "m.vla"], cwd=scratch, stdout=subprocess.DEVNULL,
                              env=dict(os.environ, DISPLAY=display, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy"))
    red, deadline = set(), time.time() + 60
    while time.time() < deadline and player.poll() is None:
        time.sleep(0.2)
        px = read_frame(os.path.join(scratch, "Xvfb_screen0"))
        red = {(x, y) for y in range(100) for x in range(160) if px(x, y) == 0xFF0000}
        if red == {(x, y) for y in range(8, 24) for x in range(8, 24)}:
            break
    else:
        red = sorted(red)
        player.kill()
        return "%s: the box shows at %s, not moved to (8, 8)" % (how, red[:1] or "nowhere")
    player.kill()


scratch = tempfile.mkdtemp()
server, display = start_server("320x240x24", scratch)
failures = [p for how, script in MOVES.items() if (p := moved(how, script))]
server.kill()
shutil.rmtree(scratch, ignore_errors=True)
print("\n".join(failures))
sys.exit(1 if failures else 0)

#!/usr/bin/env python3
"""exit_paths_x11_test.py PLAYER COMPILER: under Xvfb with a window manager, a script that took mouse and key input
ends cleanly on every path: its normal end, an error, SIGTERM, and the display's connection killed while a sound
plays (Xlib's handler then ends the process from inside the library). None may abort; the lost display ends with
status 1 and one line.
Exit 77 without Xvfb, xdotool, xkill or xprop."""
import os, shutil, signal, subprocess, sys, tempfile, time
from window_manager import poll, start_manager, start_server

PLAYER, COMPILER = map(os.path.abspath, sys.argv[1:3])
if not all(shutil.which(tool) for tool in ("Xvfb", "xdotool", "xkill", "xprop")):
    sys.exit(77)

START = '@DISPLAY {Width = 200, Height = 100, X = 0, Y = 0, Title = "exits", Borderless = True}\n' \
        'WaitLeftMouse()\nWaitKeyDown("a")\nDebugPrint("input")\n'
ENDS = {  # path: (script tail, expected status, expected standard error)
    "normal": ("", 0, ""),
    "error": ('Error("boom")\n', 1, "error.vls:5: boom\n"),
    "sigterm": ("Repeat\n    Wait(1)\nUntil False\n", 128 + signal.SIGTERM, ""),
    # With a sound playing, so that the sound threads run when the library ends the process.
    "lost display": ("CreateSample(1, {0, 90, 0, -90}, 8000)\nPlaySample(1, {Times = 0})\nRepeat\n    Wait(1)\n"
                     "Until False\n", 1, None),
}


def xdotool(*args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout.split()


def end_one(path, tail, status, err):
    name = path.split()[0] + ".vls"
    with open(os.path.join(scratch, name), "w") as f:
        f.write(START + tail)
    subprocess.run([COMPILER, "-o", "x.vla", name], cwd=scratch, check=True)
    out = open(os.path.join(scratch, "out"), "w+")
    player = subprocess.Popen([PLAYER, "-quiet", "x.vla"], cwd=scratch, stdout=out, stderr=subprocess.PIPE,
                              text=True, env=dict(env, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy"))
    window = poll(lambda: player.poll() is None and xdotool("search", "--onlyvisible", "--pid", str(player.pid)))
    if not window:
        player.kill()
        return "%s: no window (%s) %r" % (path, player.returncode, player.communicate()[1])
    # Press and release as separate events, then the key, again until the script has seen them: a window just
    # mapped may not take the first ones yet.
    seen = lambda: open(out.name).read().startswith("input")
    for _ in range(120):
        for step in (["mousemove", "50", "50"], ["mousedown", "1"], ["mouseup", "1"], ["keydown", "a"], ["keyup", "a"]):
            xdotool(*step)
        if poll(lambda: seen() or player.poll() is not None, 0.5):
            break
    if not seen():
        player.kill()
        return "%s: the input did not arrive" % path
    if path == "sigterm":
        player.send_signal(signal.SIGTERM)
    elif path == "lost display":
        subprocess.run(["xkill", "-id", window[0]], env=env, capture_output=True)
    try:
        _, stderr = player.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        player.kill()
        return "%s: still running" % path
    if player.returncode != status or (err is not None and stderr != err):
        return "%s: status %d, stderr %r" % (path, player.returncode, stderr)
    if err is None and (len(stderr.splitlines()) != 1 or display not in stderr):
        return "%s: expected one line naming %s, got %r" % (path, display, stderr)


scratch = tempfile.mkdtemp()
server, display = start_server()
env = dict(os.environ, DISPLAY=display)
# A window mapped while the manager starts may never be shown: wait until its event loop runs.
manager = shutil.which("openbox") and start_manager("openbox", env)
try:
    failures = [f for path, (tail, status, err) in ENDS.items() if (f := end_one(path, tail, status, err))]
finally:
    manager and manager.kill()
    server.kill()
    shutil.rmtree(scratch, ignore_errors=True)
print("\n".join(failures))
sys.exit(1 if failures else 0)

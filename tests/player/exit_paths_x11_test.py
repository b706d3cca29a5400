#!/usr/bin/env python3
"""exit_paths_x11_test.py PLAYER COMPILER: under Xvfb with a window manager, a script that took mouse and key input
ends cleanly on every path: its normal end, an error, SIGTERM, and the display's connection killed while a sound
plays (Xlib's handler then ends the process from inside the library). None may abort; the lost display ends with
status 1 and one line.
Whatever ends a run that keeps a file open (the display killed, its connection or its window closed by another
program, exit() on the main thread, SIGTERM, SIGINT, SIGHUP), the line the script wrote is in the file: the main
thread's own end skipped the shutdown that flushes it. VL_EXIT_PATH_RUNS runs each of those more than once.
Exit 77 without Xvfb, xdotool, xkill or xprop."""
import os, shutil, signal, subprocess, sys, tempfile, time
from window_manager import poll, start_manager, start_server

PLAYER, COMPILER, EXIT_LIBRARY = map(os.path.abspath, sys.argv[1:4])
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
    seen = lambda: open(out.name).read().startswith("input\n")
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


KEEPS = '''@DISPLAY {Width = 200, Height = 100, X = 0, Y = 0, Title = "keeps"}
CreateSample(1, {0, 90, 0, -90}, 8000)
PlaySample(1, {Times = 0})
OpenFile(2, "kept.txt", #MODE_WRITE)
WriteLine(2, "written before the end")
DebugPrint("ready")
i = 0
Repeat
    i = i + 1
    Box(i % 150, 10, 40, 40, i * 77)
    If i % 5 == 0 Then WaitFrame() EndIf
Until False
'''
KEEP_ENDS = {  # way: expected status
    "display killed": 1, "xkill": 1, "windowclose": 1, "exit on the main thread": 1,
    "SIGTERM": 128 + signal.SIGTERM, "SIGINT": 128 + signal.SIGINT, "SIGHUP": 128 + signal.SIGHUP}


def keep_one(way, run):
    """The file the script keeps open holds its line however the run ends."""
    here = lambda name: os.path.join(scratch, name)
    own_server, own_display = start_server() if way == "display killed" else (None, display)
    run_env = dict(env, DISPLAY=own_display, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy")
    if way == "exit on the main thread":
        run_env.update(LD_PRELOAD=EXIT_LIBRARY, VL_EXIT_THREAD="vistaloom", VL_EXIT_WHEN=here("now"),
                       ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0")
    for name in ("kept.txt", "now"):
        os.path.exists(here(name)) and os.remove(here(name))
    out = open(here("out"), "w+")
    player = subprocess.Popen([PLAYER, "-quiet", "keeps.vla"], cwd=scratch, stdout=out, stderr=subprocess.PIPE,
                              text=True, env=run_env)
    x = lambda *args: subprocess.run(args, env=run_env, capture_output=True, text=True).stdout.split()
    # The window shown and the script past its write, each to a bound no loaded machine comes near.
    window = poll(lambda: player.poll() is None and x("xdotool", "search", "--onlyvisible", "--pid", str(player.pid)),
                  60)
    ready = poll(lambda: open(out.name).read().startswith("ready\n") or player.poll() is not None, 60)
    ends = {"display killed": lambda: own_server.kill(), "xkill": lambda: x("xkill", "-id", window[0]),
            "windowclose": lambda: x("xdotool", "windowclose", window[0]),
            "exit on the main thread": lambda: open(here("now"), "w").close()}
    if window and ready and player.poll() is None:
        ends.get(way, lambda: player.send_signal(getattr(signal, way)))()
    try:
        _, stderr = player.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        player.kill()
        stderr = "still running"
    own_server and own_server.kill()
    kept = open(here("kept.txt")).read() if os.path.exists(here("kept.txt")) else ""
    if player.returncode != KEEP_ENDS[way] or kept != "written before the end\n":
        return "%s run %d: status %s, file %r, stderr %r" % (way, run, player.returncode, kept, stderr)


scratch = tempfile.mkdtemp()
server, display = start_server()
env = dict(os.environ, DISPLAY=display)
# A window mapped while the manager starts may never be shown: wait until its event loop runs.
manager = shutil.which("openbox") and start_manager("openbox", env)
try:
    failures = [f for path, (tail, status, err) in ENDS.items() if (f := end_one(path, tail, status, err))]
    with open(os.path.join(scratch, "keeps.vls"), "w") as f:
        f.write(KEEPS)
    subprocess.run([COMPILER, "-o", "keeps.vla", "keeps.vls"], cwd=scratch, check=True)
    runs = int(os.environ.get("VL_EXIT_PATH_RUNS", "1"))
    failures += [f for way in KEEP_ENDS for run in range(runs) if (f := keep_one(way, run))]
finally:
    manager and manager.kill()
    server.kill()
    shutil.rmtree(scratch, ignore_errors=True)
print("\n".join(failures))
sys.exit(1 if failures else 0)

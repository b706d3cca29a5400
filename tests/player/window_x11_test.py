#!/usr/bin/env python3
"""window_x11_test.py PLAYER COMPILER: the window as the desktop treats it, under Xvfb through SDL's x11 driver.
- Alt+Return held for two seconds switches to full screen once, though the key repeats and every switch makes a new
  window; the full-screen window has the display's title.
- A window another client destroys (xdotool windowclose) ends the run with status 1 and one line naming it.
- Under a window manager that never maps a window, the player does not wait for the map without end: it says so in
  one line after a few seconds and the script goes on. SIGTERM during that wait ends the player at once.
Exit 77 without Xvfb, openbox, xdotool or xprop."""
import ctypes, os, re, select, shutil, subprocess, sys, tempfile, time
from window_manager import poll, start_manager, start_server

PLAYER, COMPILER = map(os.path.abspath, sys.argv[1:3])
if not all(shutil.which(tool) for tool in ("Xvfb", "openbox", "xdotool", "xprop")):
    sys.exit(77)

SWITCHES = '''@DISPLAY {Width = 200, Height = 100, Title = "held"}
switches = 0
InstallEventHandler({ModeSwitch = Function(msg) switches = switches + 1 EndFunction,
                     OnKeyDown = Function(msg)
                         If msg.key == "x" Then DebugPrint("switches", switches) EndIf
                     EndFunction})
DebugPrint("ready")
Repeat
    WaitEvent()
Until False
'''
CLOSED = '''@DISPLAY {Width = 200, Height = 100, Title = "doomed"}
DebugPrint("ready")
Repeat
    WaitEvent()
Until False
'''
UNMAPPED = '@DISPLAY {Width = 200, Height = 100, Title = "unseen"}\nDebugPrint("went on")\n'


def new_server():
    server, display = start_server()
    servers.append(server)
    return dict(os.environ, DISPLAY=display)


def start(script, env):
    with open(os.path.join(scratch, "w.vls"), "w") as f:
        f.write(script)
    subprocess.run([COMPILER, "-o", "w.vla", "w.vls"], cwd=scratch, check=True)
    out = open(os.path.join(scratch, "out"), "w+")
    player = subprocess.Popen([PLAYER, "-quiet", "w.vla"], cwd=scratch, stdout=out, stderr=subprocess.PIPE,
                              text=True, env=dict(env, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy"))
    players.append(player)
    return player, lambda: open(out.name).read()


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout.split()


def shown_window(env, player, output):
    """The player's window once it shows and the script has said it is ready, which come in either order."""
    return poll(lambda: player.poll() is None and "ready\n" in output() and
                xdotool(env, "search", "--onlyvisible", "--pid", str(player.pid)))


def held_return(env):
    player, output = start(SWITCHES, env)
    window = shown_window(env, player, output)
    if not window:
        return "held Alt+Return: no window, output %r" % output()
    xdotool(env, "windowactivate", "--sync", window[0])
    xdotool(env, "keydown", "alt+Return")
    time.sleep(2)  # the key held: the server repeats it meanwhile
    xdotool(env, "keyup", "alt+Return")
    # The events come in order: once the script has seen x, it has seen every switch.
    for _ in range(60):
        xdotool(env, "key", "x")
        if poll(lambda: re.search(r"switches \d+\n", output()), 1):
            break
    failures = []
    if "switches 1\n" not in output():
        failures.append("held Alt+Return: %r, expected one switch" % output())
    titles = [xdotool(env, "getwindowname", w) for w in xdotool(env, "search", "--onlyvisible", "--pid",
                                                                   str(player.pid))]
    if titles != [["held"]]:
        failures.append("the full-screen window's titles are %r, expected the display's" % titles)
    player.kill()
    return "; ".join(failures)


def closed_by_another(env):
    player, output = start(CLOSED, env)
    window = shown_window(env, player, output)
    if not window:
        return "windowclose: no window, output %r" % output()
    xdotool(env, "windowclose", window[0])
    try:
        _, stderr = player.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        return "windowclose: the player runs on without its window"
    if player.returncode != 1 or stderr != 'The window "doomed" was closed by another program.\n':
        return "windowclose: status %d, stderr %r" % (player.returncode, stderr)


# A window manager that takes every map request and carries out none.
HOARDER = '''import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
display = x.XOpenDisplay(None)
x.XSelectInput(display, x.XDefaultRootWindow(display), 1 << 20)  # SubstructureRedirectMask
x.XSync(display, 0)
print("redirecting", flush=True)
event = ctypes.create_string_buffer(192)  # an XEvent
while True:
    x.XNextEvent(display, event)
    if int.from_bytes(event.raw[:4], sys.byteorder) == 20:  # MapRequest: the player waits for the map now
        print("map requested", flush=True)
'''


def start_unmapped(env):
    """The player under a manager that never maps its window, and that manager; None when it did not start."""
    hoarder = subprocess.Popen([sys.executable, "-c", HOARDER], env=env, stdout=subprocess.PIPE, text=True)
    players.append(hoarder)
    if hoarder.stdout.readline() != "redirecting\n":
        return None
    return start(UNMAPPED, env) + (hoarder,)


def never_mapped(env):
    started = start_unmapped(env)
    if not started:
        return "the manager that never maps did not start"
    player, output, _ = started
    try:
        _, stderr = player.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        return "never mapped: the player still waits for its window"
    expected = ('The window manager has not shown the window "unseen" within 5 seconds; going on without waiting '
                'for it.\n')
    if player.returncode != 0 or output() != "went on\n" or stderr != expected:
        return "never mapped: status %d, output %r, stderr %r" % (player.returncode, output(), stderr)


def terminated_while_unmapped(env):
    started = start_unmapped(env)
    if not started:
        return "the manager that never maps did not start"
    player, output, hoarder = started
    if not select.select([hoarder.stdout], [], [], 120)[0] or hoarder.stdout.readline() != "map requested\n":
        return "SIGTERM during the map wait: the player asked for no map"
    player.terminate()
    sent = time.time()
    try:
        _, stderr = player.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        return "SIGTERM during the map wait: the player runs on"
    # A wait that the signal does not end lasts 5 s from the map request; a loaded machine ends well within 4.
    took = time.time() - sent
    if took > 4 or player.returncode != 143 or output() or stderr:
        return "SIGTERM during the map wait: ended after %.2f s, status %d, output %r, stderr %r" % (
            took, player.returncode, output(), stderr)


scratch = tempfile.mkdtemp()
servers, players = [], []
try:
    env = new_server()
    manager = start_manager("openbox", env)
    players.append(manager)
    failures = [f for f in (held_return(env), closed_by_another(env), never_mapped(new_server()),
                            terminated_while_unmapped(new_server())) if f]
finally:
    for process in players + servers:
        process.kill()
    shutil.rmtree(scratch, ignore_errors=True)
print("\n".join(failures))
sys.exit(1 if failures else 0)

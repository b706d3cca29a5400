"""A test's own Xvfb display, and a window manager on it started and waited for until it handles requests."""
import os, shutil, subprocess, time


def start_server(size="640x480x24", fbdir=None):
    """Starts Xvfb on the display number it picks; returns the server and the display's name (":N")."""
    read_end, write_end = os.pipe()
    # Without -noreset the server resets when its last client leaves, and refuses a client that comes meanwhile (a
    # player started right after the one before ended).
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", size, "-nolisten",
                               "tcp"] +
                              (["-fbdir", fbdir] if fbdir else []), pass_fds=[write_end],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    # The read end stays open while the server runs: a write to a closed pipe would end it.
    display = ":" + os.read(read_end, 16).decode().strip()
    return server, display


def poll(until, seconds=120):
    """What until() gives once it gives something true, polled every 50 ms; None after the seconds."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        if (got := until()):
            return got
        time.sleep(0.05)
    return None


def root_property(env, name):
    return subprocess.run(["xprop", "-root", name], env=env, capture_output=True, text=True).stdout


def start_manager(program, env, seconds=30):
    """Starts program on env's DISPLAY and returns it once it runs. Its claim on the screen
    (_NET_SUPPORTING_WM_CHECK) comes early in its start-up, and a map request that reaches it before its event loop
    runs is lost: openbox leaves the window unmapped, and a client waiting for the map waits for good. So a manager
    that has desktops is asked to switch to the second desktop and back, again until it has, which only its event
    loop does. A manager without desktops is taken at its claim."""
    manager = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + seconds

    def wait_for(check, until):
        while time.time() < until and manager.poll() is None and not check():
            time.sleep(0.02)
        return check()

    wait_for(lambda: "window id" in root_property(env, "_NET_SUPPORTING_WM_CHECK"), deadline)
    if shutil.which("xdotool") and "_NET_CURRENT_DESKTOP" in root_property(env, "_NET_SUPPORTED"):
        for desktop in ("1", "0"):
            switched = lambda: root_property(env, "_NET_CURRENT_DESKTOP").strip().endswith("= " + desktop)
            while time.time() < deadline and manager.poll() is None:
                subprocess.run(["xdotool", "set_desktop", desktop], env=env, capture_output=True)
                if wait_for(switched, min(deadline, time.time() + 0.5)):
                    break
    return manager

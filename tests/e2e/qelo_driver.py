"""Plays the real qelo on an X display: widgets are read through AT-SPI, clicks and keys go through xdotool."""
import atexit, contextlib, os, pathlib, shutil, subprocess, tempfile, time  # noqa: E401

import pyatspi  # Debian's AT-SPI client; it hands out Atspi.Accessible objects
from gi.repository import Atspi, GLib

# Roles by their constants: their names differ between at-spi2-core releases ("push button" became "button").
BUTTON = getattr(Atspi.Role, "BUTTON", None) or Atspi.Role.PUSH_BUTTON
COMBO_BOX, DIALOG, FILLER, FRAME, LABEL, MENU_ITEM, PANEL = (
    getattr(Atspi.Role, name) for name in "COMBO_BOX DIALOG FILLER FRAME LABEL MENU_ITEM PANEL".split())


def poll(probe, what, timeout=30.0):
    """Returns the first true result of probe(); fails after timeout seconds, as the machine may be loaded."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with contextlib.suppress(GLib.Error):  # a widget that went away while it was read
            if result := probe():
                return result
        time.sleep(0.05)
    if os.environ.get("QELO_FAILURE_SHOT"):  # the screen as it was when the wait gave up
        run("import", "-window", "root", os.environ["QELO_FAILURE_SHOT"])
    raise TimeoutError(f"no {what} within {timeout:.0f} s")


def run(*command):
    return subprocess.run(command, capture_output=True, text=True).stdout


def fresh(acc):
    acc.clear_cache()  # the client's cache can miss changes
    return acc


def has(acc, state):
    return fresh(acc).get_state_set().contains(getattr(pyatspi, f"STATE_{state}"))


def find(root, role, name=None):
    """The showing descendants of root with this role (and name), depth first."""
    found = []
    for child in filter(None, fresh(root)):
        if has(child, "SHOWING"):
            found += [child] * (child.get_role() == role and name in (None, child.get_name()))
            found += find(child, role, name)
    return found


def rect(acc):
    r = acc.get_extents(pyatspi.DESKTOP_COORDS)
    return r.x, r.y, r.width, r.height


def click(target, times=1):
    x, y, w, h = target if isinstance(target, tuple) else rect(target)
    run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "--repeat", str(times), "1")


def colour_count(area, rgb):
    """How many screen pixels in area are near rgb; antialiased strokes keep solid middles."""
    x, y, w, h = area
    raw = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8", "rgb:-"],
                         check=True, capture_output=True).stdout
    return sum(all(abs(a - b) <= 60 for a, b in zip(raw[i:i + 3], rgb)) for i in range(0, len(raw), 3))


class Qelo:
    """A copy of the program in a folder of its own, so that its qelo.ini is the one prepared here."""

    def __init__(self, executable, ini):
        self.folder = tempfile.TemporaryDirectory(prefix="qelo-")
        self.ini = pathlib.Path(self.folder.name, "qelo.ini")
        self.ini.write_bytes(ini)
        shutil.copy2(executable, self.ini.with_name("qelo"))
        desktop = pyatspi.Registry.getDesktop(0)  # the accessibility bus is up before the program looks for it
        # Started from elsewhere, so that only the program's own folder can hold its settings.
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.process = subprocess.Popen([self.ini.with_name("qelo")], cwd="/", env=env)
        atexit.register(self.process.kill)
        self.app = poll(lambda: [a for a in desktop if a and a.get_process_id() == self.process.pid], "qelo")[0]
        self.window = poll(lambda: find(self.app, FRAME, "qelo"), "main window")[0]

    def maximised(self):
        ids = run("xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid), "--name", "^qelo$").split()
        return len(ids) == 1 and run("xprop", "-id", ids[0], "_NET_WM_STATE").count("_NET_WM_STATE_MAXIMIZED_") == 2

    def toggle_maximised(self):
        x, y, w, _ = rect(self.window)  # openbox toggles on a double click on the title bar
        click((x, max(y - 16, 0), w, 16), times=2)

    def question(self, length):
        """Waits for a question of length symbols, the only label on show, and returns it."""
        return poll(lambda: len(shown := [label.get_name() for label in find(self.window, LABEL)]) == 1
                    and len(shown[0]) == length and shown[0], f"question of {length} symbols")

    def keyboard(self, count):
        """Waits for the soft keyboard of count keys and returns them by their names, which are their symbols."""
        def probe():
            keys = {k.get_name(): k for k in find(self.window, LABEL) if len(k.get_name()) == 1}
            return len(keys) == count and find(self.window, PANEL) and keys
        keys = poll(probe, f"keyboard of {count} keys")
        self.line = find(find(self.window, PANEL)[0], LABEL)[0]
        return keys

    def enter(self, keys, symbols):
        """Clicks the keys (or BS) for symbols one by one, checking the input line after each click."""
        typed = fresh(self.line).get_name()
        for symbol in symbols:
            click(find(self.window, BUTTON, "BS")[0] if symbol == "BS" else keys[symbol])
            typed = typed[:-1] if symbol == "BS" else typed + symbol
            poll(lambda: fresh(self.line).get_name() == typed, f"input line reading {typed!r}")

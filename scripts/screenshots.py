"""Plays one turn of the real program and photographs it: start screen, question, keyboard, verdict.

Run by scripts/screenshots.sh inside scripts/xsession.sh with the system's python3 (it needs pyatspi).
Usage: screenshots.py PROGRAM OUTPUT_FOLDER
"""

import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import time

import pyatspi

# Long display times leave room to photograph the question and the verdict.
VIEW_TIME = 10.0
STRING_LEN = 5
VIEW_ANS_TIME = 10.0
KIGOU_NUM = 50
TYPED_BEFORE_SHOT = 3


def fail(message):
    print(f"screenshots: {message}", file=sys.stderr)
    sys.exit(1)


def poll(what, probe, timeout=30.0):
    """Calls probe until it returns something true and returns that."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = probe()
        if result:
            return result
        time.sleep(0.1)
    fail(f"timed out waiting for {what}")


def widgets(application):
    """Every showing accessible of the program as (role, name, centre x, centre y, node)."""
    found = []

    def walk(node):
        for child in node:
            if child is None:
                continue
            try:
                showing = child.getState().contains(pyatspi.STATE_SHOWING)
                if showing:
                    box = child.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                    found.append((child.getRoleName(), child.name,
                                  box.x + box.width // 2, box.y + box.height // 2, child))
                    walk(child)
            except Exception:  # a widget hidden or destroyed while being read
                continue

    walk(application)
    return found


def find(application, role, name):
    for item in widgets(application):
        if item[0] == role and item[1] == name:
            return item
    return None


def click(item):
    subprocess.run(["xdotool", "mousemove", str(item[2]), str(item[3]), "click", "1"], check=True)


def maximised():
    """Whether openbox has maximised the program's window, as the program asks at start-up."""
    windows = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^qelo$"],
                             capture_output=True, text=True).stdout.split()
    if not windows:
        return False
    state = subprocess.run(["xprop", "-id", windows[0], "_NET_WM_STATE"], capture_output=True, text=True).stdout
    return "_NET_WM_STATE_MAXIMIZED_HORZ" in state and "_NET_WM_STATE_MAXIMIZED_VERT" in state


def park_pointer():
    # The lower right corner stays free of keys and buttons, so nothing shows a hover there.
    width, height = subprocess.run(["xdotool", "getdisplaygeometry"], check=True, capture_output=True,
                                   text=True).stdout.split()
    subprocess.run(["xdotool", "mousemove", str(int(width) - 2), str(int(height) - 2)], check=True)


def shoot(path):
    """Captures the screen once two captures in a row agree, so that no half-painted frame is kept."""
    previous = None
    with tempfile.TemporaryDirectory() as work:
        for attempt in range(50):
            current = pathlib.Path(work) / f"{attempt}.png"
            subprocess.run(["import", "-window", "root", str(current)], check=True)
            data = current.read_bytes()
            if data == previous:
                shutil.copyfile(current, path)
                print(f"screenshots: wrote {path}")
                return
            previous = data
            time.sleep(0.1)
    fail(f"the screen did not settle for {path}")


def main():
    program, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    output.mkdir(parents=True, exist_ok=True)

    # The program reads qelo.ini beside itself, so it runs from a copy with its own settings.
    folder = pathlib.Path(tempfile.mkdtemp())
    shutil.copy2(program, folder / "qelo")
    (folder / "qelo.ini").write_bytes(struct.pack("<dhdh", VIEW_TIME, STRING_LEN, VIEW_ANS_TIME, KIGOU_NUM))

    registry_desktop = pyatspi.Registry.getDesktop(0)  # starts the accessibility bus before the program
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    process = subprocess.Popen([str(folder / "qelo")], env=env)
    try:
        def application():
            for app in registry_desktop:
                if app is not None and app.name == "qelo":
                    return app
            return None

        app = poll("the program on the accessibility bus", application)
        start = poll("the start button", lambda: find(app, "push button", "スタート"))
        poll("the maximised window", maximised)
        park_pointer()
        shoot(output / "start.png")

        click(start)
        park_pointer()

        def question():
            for role, name, *_ in widgets(app):
                if role == "label" and len(name) == STRING_LEN and name != "Label1":
                    return name
            return None

        text = poll("the question", question, timeout=10)
        shoot(output / "question.png")

        def keyboard():
            keys = {item[1]: item for item in widgets(app) if item[0] == "label" and len(item[1]) == 1}
            return keys if len(keys) == KIGOU_NUM else None

        keys = poll("the keyboard", keyboard, timeout=VIEW_TIME + 10)
        missing = [symbol for symbol in text if symbol not in keys]
        if missing:
            fail(f"no key for {missing}")

        for symbol in text[:TYPED_BEFORE_SHOT]:
            click(keys[symbol])
        park_pointer()

        def typed(prefix):
            return lambda: any(role == "label" and name == prefix for role, name, *_ in widgets(app))

        poll("the typed symbols", typed(text[:TYPED_BEFORE_SHOT]), timeout=10)
        shoot(output / "keyboard.png")

        for symbol in text[TYPED_BEFORE_SHOT:]:
            click(keys[symbol])
        poll("the whole answer", typed(text), timeout=10)
        click(find(app, "push button", "OK"))
        park_pointer()
        poll("the verdict", lambda: find(app, "label", "正解"), timeout=10)
        shoot(output / "verdict.png")
    finally:
        process.terminate()
        process.wait(timeout=10)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()

"""Plays the portable qelo.exe under Wine on an X display with xdotool, reading the screen's pixels (AT-SPI does not
reach into Wine): the maximised window, a question, the keyboard, a key into the input line, a verdict in its colour,
設定 → 変更 writing qelo.ini beside qelo.exe, and 終了. Leaves a screenshot of each step in SHOTS.

Usage (scripts/windows.sh runs it inside scripts/xsession.sh): wine_play.py QELO_EXE SHOTS
"""
import pathlib, subprocess, sys  # noqa: E401

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "e2e"))
from qelo_driver import click, colour_count, poll, run  # noqa: E402

BLACK, RED, BLUE = (0, 0, 0), (255, 0, 0), (0, 0, 255)
DEFAULTS = bytes.fromhex("00 00 00 00 00 00 08 40 05 00 00 00 00 00 00 00 08 40 32 00")
MENU = 20  # the menu bar's height in pixels; the design's places below are in pixels of the central area
exe, shots = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
shots.mkdir(exist_ok=True)
ini = exe.with_name("qelo.ini")


def window(name):
    """The client area of the visible window called name, as x, y, width, height."""
    ids = poll(lambda: run("xdotool", "search", "--onlyvisible", "--name", f"^{name}$").split(), f"window {name}")
    # xwininfo, as xdotool counts the window manager's frame twice.
    info = dict(line.strip().split(": ", 1) for line in run("xwininfo", "-id", ids[0]).splitlines() if ": " in line)
    return ids[0], tuple(int(info[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


def at(area, x, y, w=1, h=1):
    return area[0] + x, area[1] + y, w, h


def shot(name):
    run("import", "-window", "root", str(shots / f"{name}.png"))


def menu_items(area):
    """The menu bar's items, left to right, as the areas of their dark captions."""
    columns = [colour_count(at(area, x, 3, 1, MENU - 6), BLACK) for x in range(400)]
    items, start = [], None
    for x, dark in enumerate(columns + [0] * 8):
        if dark and start is None:
            start = x
        elif start is not None and not any(columns[x:x + 8]):
            items.append(at(area, start, 3, x - start, MENU - 6))
            start = None
    return items


game = subprocess.Popen(["wine", str(exe)], cwd="/")
wid, area = window("qelo")
poll(lambda: run("xprop", "-id", wid, "_NET_WM_STATE").count("MAXIMIZED") == 2, "maximised window")
wid, area = window("qelo")
items = poll(lambda: len(menu_items(area)) == 3 and menu_items(area), "menu bar of 終了, 設定 and バージョン")
poll(lambda: colour_count(at(area, 8, MENU + 8, 105, 41), BLACK) > 30, "スタート")
shot("1-start")
click(at(area, 60, MENU + 28))
poll(lambda: colour_count(at(area, 8, MENU + 8, 105, 41), BLACK) == 0
     and colour_count(at(area, 0, MENU, area[2], area[3] - MENU), BLACK) > 100, "a question instead of スタート")
shot("2-question")
keys = at(area, 0, MENU + 66, area[2], area[3] - MENU - 66)
poll(lambda: colour_count(keys, BLACK) > 3000, "the keyboard of 50 keys")
shot("3-keyboard")
line = at(area, 136, MENU + 18, 197, 37)
empty = colour_count(line, BLACK)
raw = subprocess.run(["import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*keys), "+repage", "-depth", "8",
                      "gray:-"], check=True, capture_output=True).stdout
first = next(i for i, value in enumerate(raw) if value < 60)
click((keys[0] + first % keys[2], keys[1] + first // keys[2], 1, 1))
poll(lambda: colour_count(line, BLACK) > empty + 20, "a symbol in the input line")
click(at(area, 432, MENU + 32))
poll(lambda: colour_count(at(area, 0, MENU, 400, 140), RED) + colour_count(at(area, 0, MENU, 400, 140), BLUE) > 20,
     "正解 in blue or 不正解 in red")
shot("4-verdict")
click(items[1])
_, dialog = window("設定")
shot("5-settings")
click(at(dialog, 284, 36))
poll(lambda: ini.exists() and ini.read_bytes() == DEFAULTS, "qelo.ini of the defaults beside qelo.exe")
click(items[0])
poll(lambda: game.poll() == 0, "end with exit status 0")

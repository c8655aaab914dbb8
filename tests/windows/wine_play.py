"""Plays qelo.exe, or a shortcut to it, under Wine through xdotool and the screen's pixels (AT-SPI does not reach
into Wine): スタート to 終了, 設定 → 変更 writing INI (else qelo.ini beside qelo.exe). In xsession.sh: EXE|LNK SHOTS [INI]"""
import pathlib, subprocess, sys  # noqa: E401

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "e2e"))
from qelo_driver import click, colour_count, poll, run  # noqa: E402

BLACK, RED, BLUE = (0, 0, 0), (255, 0, 0), (0, 0, 255)
MENU = 20  # the menu bar's height; the design's places below it are in pixels of the central area
exe, shots = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
ini = pathlib.Path(sys.argv[3]) if len(sys.argv) > 3 else exe.with_name("qelo.ini")


def window(name):
    """The client area of the window called name as x, y, width, height; xdotool would count the frame twice."""
    wid = poll(lambda: run("xdotool", "search", "--onlyvisible", "--name", f"^{name}$").split(), name)[0]
    info = dict(line.strip().split(": ", 1) for line in run("xwininfo", "-id", wid).splitlines() if ": " in line)
    return wid, [int(info[f"Absolute upper-left {axis}"]) for axis in "XY"] + [int(info["Width"]), int(info["Height"])]


def at(area, x, y, w=1, h=1):
    return area[0] + x, area[1] + y, w, h


def step(shot, probe, what):
    poll(probe, what)
    shots.mkdir(exist_ok=True)
    run("import", "-window", "root", str(shots / f"{shot}.png"))


def ink(area):
    """The area's pixels, column by column: True where one is clearly darker than the area's commonest grey, its
    background. Against the background, not black: Wine may draw thin strokes, such as the long vowel mark, grey."""
    raw = subprocess.run(["import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*area), "+repage", "-depth",
                          "8", "gray:-"], check=True, capture_output=True).stdout
    background = max(set(raw), key=raw.count)
    return [[background - raw[y * area[2] + x] > 40 for y in range(area[3])] for x in range(area[2])]


def menu_items(area):
    """The menu bar's captions, left to right, as runs of inked columns; a gap under 9 pixels is within a caption."""
    columns = ink(at(area, 0, 3, 400, MENU - 6))
    dark = [x for x, column in enumerate(columns) if any(column)]
    starts = [x for i, x in enumerate(dark) if i == 0 or x - dark[i - 1] > 8]
    ends = [x for i, x in enumerate(dark) if i == len(dark) - 1 or dark[i + 1] - x > 8]
    return [at(area, a, 3, b - a + 1, MENU - 6) for a, b in zip(starts, ends)]


def inked(area):
    return sum(map(sum, ink(area)))


shell = ["start", "/wait", "/unix"] if exe.suffix == ".lnk" else []  # Wine's shell opens a shortcut
game = subprocess.Popen(["wine", *shell, str(exe)], cwd="/")
poll(lambda: run("xprop", "-id", window("qelo")[0], "_NET_WM_STATE").count("MAXIMIZED") == 2, "maximised window")
_, area = window("qelo")
start, client = at(area, 8, MENU + 8, 105, 41), at(area, 0, MENU, area[2], area[3] - MENU)
label = at(area, 16, MENU + 16, 89, 25)  # inside the button's edges and focus frame
step("1-start", lambda: len(menu_items(area)) == 3 and inked(label) > 30, "menu and スタート")
quit_item, settings_item, _ = menu_items(area)
caption = inked(label)
click(start)
step("2-question", lambda: inked(label) != caption and colour_count(client, BLACK) > 100, "question")
step("3-keyboard", lambda: colour_count(client, BLACK) > 2000, "keyboard of 50 keys")
click(at(area, 432, MENU + 32))  # OK with nothing typed
verdict = at(area, 0, MENU, 130, 66)
step("4-verdict", lambda: colour_count(verdict, RED) > 20 and not colour_count(verdict, BLUE), "不正解 in red")
click(settings_item)
_, dialog = window("設定")
step("5-settings", lambda: colour_count(at(dialog, 248, 24, 73, 25), BLACK) > 20, "変更")
click(at(dialog, 284, 36))
defaults = bytes.fromhex("00 00 00 00 00 00 08 40 05 00 00 00 00 00 00 00 08 40 32 00")
poll(lambda: ini.exists() and ini.read_bytes() == defaults, f"{ini} of the defaults")
click(quit_item)
poll(lambda: game.poll() == 0, "end with exit status 0")

"""One session of the real qelo on an X display beside a global menu bar: window sizes, a right and a wrong turn,
the settings dialog, 終了.

Usage (run_e2e.sh runs it inside scripts/xsession.sh): qelo_e2e.py QELO_EXECUTABLE; a wait that gives up leaves the
screen in $QELO_FAILURE_SHOT if that is set.
"""
import struct, sys  # noqa: E401

from gi.repository import Gio, GLib
from qelo_driver import (BUTTON, COMBO_BOX, DIALOG, FILLER, LABEL, MENU_ITEM, Qelo, click, colour_count, find,
                         fresh, has, poll, rect, run)

BLUE, RED = (0, 0, 255), (255, 0, 0)
# In the dialog's order from the top: 表示時間, 文字の長さ, 記号の種類, 正誤の表示時間; 25 is bounded to 20.
TYPED, SAVED = ("2.5", "25", "40", "0.7"), struct.pack("<dhdh", 2.5, 20, 0.7, 40)


def turn(q, answer, verdict, own, other):
    """Answers the next question with answer(question, a symbol not in it) and waits for the verdict in its colour."""
    question = q.question(3)
    keys = q.keyboard(55)
    q.enter(keys, answer(question, next(k for k in keys if k not in question)))
    click(find(q.window, BUTTON, "OK")[0])
    poll(lambda: (label := find(q.window, LABEL, verdict)) and colour_count(rect(label[0]), own) >= 20
         and colour_count(rect(label[0]), other) == 0, f"{verdict} painted in {own}")


def session(q):
    poll(q.maximised, "maximised window")
    q.toggle_maximised()
    poll(lambda: rect(find(q.window, FILLER)[0])[2:] == (573, 312), "restored client area of 8595 x 4680 twips")
    q.toggle_maximised()
    poll(q.maximised, "maximised window again")

    click(find(q.window, BUTTON, "スタート")[0])
    turn(q, lambda question, wrong: [wrong, "BS", *question], "正解", BLUE, RED)
    turn(q, lambda question, wrong: [*question[:-1], wrong], "不正解", RED, BLUE)

    q.question(3)
    keys = q.keyboard(55)
    click(find(q.window, MENU_ITEM, "設定")[0])
    dialog = poll(lambda: find(q.app, DIALOG, "設定"), "settings dialog")[0]
    poll(lambda: has(dialog, "ACTIVE"), "settings dialog taking the keyboard")
    run("xdotool", "key", "Escape")  # which leaves the dialog open, as what follows needs
    # The main window takes no clicks while the dialog is open: a click on the key farthest from it.
    x, y, w, h = rect(dialog)
    click(max(keys.values(), key=lambda k: abs(rect(k)[0] - x - w / 2) + abs(rect(k)[1] - y - h / 2)))
    combos = sorted(find(dialog, COMBO_BOX), key=lambda combo: rect(combo)[1])
    for combo, text in zip(combos, TYPED):
        x, y, w, h = rect(combo)
        click((x, y, w // 2, h))  # the edit field, clear of the arrow
        run("xdotool", "key", "ctrl+a", "type", text)
    # Esc came first, so the dialog still taking text shows that Esc left it open.
    poll(lambda: tuple(fresh(combo).get_name() for combo in combos) == TYPED, f"fields reading {TYPED}")
    click(find(dialog, BUTTON, "変更")[0])
    poll(lambda: not find(q.app, DIALOG, "設定") and q.ini.read_bytes() == SAVED, f"qelo.ini of {SAVED.hex(' ')}")
    poll(lambda: fresh(q.line).get_name() == "", "input line still empty after the click behind the dialog")
    click(find(q.window, MENU_ITEM, "終了")[0])
    poll(lambda: q.process.poll() == 0, "end with exit status 0")


if __name__ == "__main__":
    # A desktop with a global menu bar, which would take over the menu of a window that let it go.
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                  GLib.Variant("(su)", ("com.canonical.AppMenu.Registrar", 0)), None, Gio.DBusCallFlags.NONE, -1)
    session(Qelo(sys.argv[1], struct.pack("<dhdh", 1.5, 3, 3.0, 55)))  # time to read the question, then the verdict

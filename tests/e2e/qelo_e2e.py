"""Plays the real qelo with real clicks and keys on an X display and checks what the player sees and what it stores.

Usage (run_e2e.sh runs it in scripts/xsession.sh): qelo_e2e.py QELO_EXECUTABLE CASE [ARTIFACT_DIR]. Widgets are read
through AT-SPI, colours from screenshots, the settings from the bytes of qelo.ini beside the copied executable.
"""

import contextlib
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from collections import namedtuple

import gi

gi.require_version("Atspi", "2.0")
import pyatspi  # noqa: E402  Debian's AT-SPI client; the objects it hands out are Atspi.Accessible
from gi.repository import Atspi, GLib  # noqa: E402

# The alphabet in table order: key i shows SYMBOLS[i].
SYMBOLS = "☆○◎△▽〆∵∴‥□◇∥♂♀∞§〒→←↑↓∧∨∠∩∪⊃⊂⊇⊆∋∈⇒⇔∀∃≡∂⊥∫√≫≪‡†♪♭♯¶★●▲▼■◆"
assert len(SYMBOLS) == 55 and len(set(SYMBOLS)) == 55

TWIPS_PER_PIXEL = 15
KEY_PX = 375 // TWIPS_PER_PIXEL  # keys and grid cells, 375 twips
FRAME_HEIGHT_TWIPS = 975  # input frame height = top of the key grid
FRAME_LEFT_TWIPS = 1920
FRAME_WIDTH_TWIPS = 5055
VERDICT_LEFT_TWIPS, VERDICT_TOP_TWIPS = 120, 240

RIGHT, WRONG = "正解", "不正解"
VERDICT_RGB = {RIGHT: (0, 0, 255), WRONG: (255, 0, 0)}
BS = object()  # an answer step that presses BS instead of a key

STATE_TIMEOUT = 15.0  # seconds for the program to reach a state; generous for loaded CI machines
START_TIMEOUT = 40.0

Rect = namedtuple("Rect", "x y w h")
Settings = namedtuple("Settings", "view_time string_len view_ans_time kigou_num")


class Failure(Exception):
    pass


def px(*twips):
    return tuple(t // TWIPS_PER_PIXEL for t in twips)


def ini_bytes(settings):
    # Little-endian doubles and 16-bit integers, no padding: 20 bytes.
    return struct.pack("<dhdh", *settings)


def check(condition, message):
    if not condition:
        raise Failure(message)


def poll(probe, what, timeout=STATE_TIMEOUT, interval=0.02):
    """Calls probe() until it returns (True, value); fails with its last detail after timeout seconds."""
    deadline = time.monotonic() + timeout
    detail = None
    while True:
        try:
            ok, detail = probe()
        except GLib.Error as error:  # an object that went away while being read
            ok, detail = False, str(error)
        if ok:
            return detail
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}; last seen: {detail}")
        time.sleep(interval)


# ---- AT-SPI ------------------------------------------------------------------------------------

def fresh(acc):
    acc.clear_cache()
    return acc


def name(acc):
    return fresh(acc).get_name()


def role(acc):
    return fresh(acc).get_role_name()


def children(acc, wanted_role=None):
    fresh(acc)
    found = [acc.get_child_at_index(i) for i in range(acc.get_child_count())]
    return [c for c in found if wanted_role is None or role(c) == wanted_role]


def has_state(acc, state):
    return fresh(acc).get_state_set().contains(state)


def showing(acc):
    try:
        return has_state(acc, Atspi.StateType.SHOWING)
    except GLib.Error:
        return False


def extents(acc):
    r = fresh(acc).get_extents(Atspi.CoordType.SCREEN)
    return Rect(r.x, r.y, r.width, r.height)


def descendants(acc, only_showing=False):
    for child in children(acc):
        if only_showing and not showing(child):
            continue
        yield child
        yield from descendants(child, only_showing)


def describe(acc):
    try:
        return f"{role(acc)} {name(acc)!r} {tuple(extents(acc))}"
    except GLib.Error:
        return "<gone>"


def one(found, what):
    check(len(found) == 1, f"one {what} expected: {[describe(c) for c in found]}")
    return found[0]


def inside(inner, outer):
    return (outer.x <= inner.x and inner.x + inner.w <= outer.x + outer.w
            and outer.y <= inner.y and inner.y + inner.h <= outer.y + outer.h)


def overlaps(a, b, margin=0):
    return not (a.x + a.w + margin <= b.x or b.x + b.w + margin <= a.x
                or a.y + a.h + margin <= b.y or b.y + b.h + margin <= a.y)


# ---- X input and screen --------------------------------------------------------------------------

def output_of(*command, must_succeed=True):
    return subprocess.run([*map(str, command)], check=must_succeed, capture_output=True, text=True).stdout


def xdotool(*args):
    return output_of("xdotool", *args)


def click_rect(rect):
    check(rect.w > 0 and rect.h > 0, f"nothing to click at {rect}")
    xdotool("mousemove", rect.x + rect.w // 2, rect.y + rect.h // 2, "click", "1")


def click(acc):
    click_rect(extents(acc))


def key(*keys):
    xdotool("key", "--clearmodifiers", *keys)


def grab(rect):
    """The screen's pixels in rect as (r, g, b) triples."""
    raw = subprocess.run(["import", "-window", "root", "-crop", f"{rect.w}x{rect.h}+{rect.x}+{rect.y}", "+repage",
                          "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    check(len(raw) == 3 * rect.w * rect.h, f"a screenshot of {len(raw)} bytes for {rect}")
    return [raw[i:i + 3] for i in range(0, len(raw), 3)]


def count_colour(pixels, rgb, tolerance=60):
    # Antialiased text still has solid pixels of its colour in the middle of its strokes.
    return sum(all(abs(c - e) <= tolerance for c, e in zip(p, rgb)) for p in pixels)


# ---- the program ---------------------------------------------------------------------------------

class Qelo:
    """One run of a copy of the executable in its own folder, found on the accessibility bus."""

    def __init__(self, executable, settings=None):
        self.folder = tempfile.mkdtemp(prefix="qelo-e2e-")
        self.exe = os.path.join(self.folder, "qelo")
        shutil.copy2(executable, self.exe)
        self.ini = pathlib.Path(self.folder, "qelo.ini")
        if settings is not None:
            self.ini.write_bytes(ini_bytes(settings))
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.log = open(os.path.join(self.folder, "output.txt"), "w+", encoding="utf-8", errors="replace")
        # Started from elsewhere so that only the executable's own folder can hold qelo.ini.
        self.process = subprocess.Popen([self.exe], cwd="/", env=env, stdout=self.log, stderr=self.log)

    def attach(self):
        """Finds the program and its controls on the accessibility bus."""
        self.app = poll(self._find_app, "qelo on the accessibility bus", timeout=START_TIMEOUT)
        self.window = poll(lambda: self._top_level("frame", "qelo"), "the main window", timeout=START_TIMEOUT)
        self.menu_bar = one(children(self.window, "menu bar"), "menu bar")
        self.client = one(children(self.window, "filler"), "client area")
        self.menu = {name(item): item for item in children(self.menu_bar)}

        self.frame = one(children(self.client, "panel"), "input frame")
        buttons = {name(c): c for c in children(self.frame, "push button")}
        check(set(buttons) == {"BS", "OK"}, f"input frame buttons: {sorted(buttons)}")
        self.bs, self.ok = buttons["BS"], buttons["OK"]
        self.input = one(children(self.frame, "label"), "input line")
        self.start = one(children(self.client, "push button"), "start button")
        check(name(self.start) == "スタート", f"start button {describe(self.start)}")

        labels = [(name(c), c) for c in children(self.client, "label")]
        keys = [(text, c) for text, c in labels if len(text) == 1 and text in SYMBOLS]
        self.keys = dict(keys)
        check(len(self.keys) == len(keys) and set(self.keys) == set(SYMBOLS),
              f"keys captioned once each with the whole alphabet: {''.join(sorted(text for text, _ in keys))}")
        others = [c for text, c in labels if text not in self.keys]
        # Besides the keys, one verdict label and one question label.
        self.verdict = one([c for c in others if name(c) == RIGHT], "verdict label")
        self.question = one([c for c in others if c is not self.verdict], "question label")

    def _find_app(self):
        check(self.process.poll() is None, f"qelo exited early with {self.process.returncode}")
        for app in children(fresh(pyatspi.Registry.getDesktop(0))):
            if app is not None and app.get_process_id() == self.process.pid:
                return True, app
        return False, "not registered"

    def _top_level(self, wanted_role, wanted_name=None):
        seen = []
        for window in children(self.app):
            seen.append(describe(window))
            if role(window) == wanted_role and (wanted_name is None or name(window) == wanted_name) \
                    and showing(window):
                return True, window
        return False, seen

    # -- observations and actions

    def showing_keys(self):
        return {s: k for s, k in self.keys.items() if showing(k)}

    def dialog(self, caption):
        dialog = poll(lambda: self._top_level("dialog", caption), f"the dialog {caption!r}")
        self.wait_active(dialog)
        return dialog

    def close_dialog(self, caption, how):
        """Closes the dialog with a click on how, or with the key how names, and waits until it is gone."""
        key(how) if isinstance(how, str) else click(how)
        poll(lambda: (not self._top_level("dialog", caption)[0], caption), f"the dialog {caption!r} to close")

    def wait_active(self, window):
        poll(lambda: (has_state(window, Atspi.StateType.ACTIVE), describe(window)),
             f"{describe(window)} to be the active window")

    def quit(self, ini, close_box=False):
        """Ends qelo with 終了 or the main window's close box: status 0, and qelo.ini holding ini."""
        if close_box:
            self.wait_active(self.window)
            key("alt+F4")
        else:
            click(self.menu["終了"])
        poll(lambda: (self.process.poll() is not None, "still running"), "qelo to end")
        check(self.process.returncode == 0, f"exit status {self.process.returncode}")
        check(self.ini_contents() == ini, f"at the end qelo.ini holds {self.ini_contents()!r}, expected {ini!r}")

    def ini_contents(self):
        return self.ini.read_bytes() if self.ini.exists() else None

    def stop(self):
        """Ends the run if it is still going and returns what qelo printed."""
        if self.log.closed:
            return ""
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.seek(0)
        output = self.log.read()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        return output


ARTIFACTS = None  # where a failing case leaves its screenshot
CASE = ""


@contextlib.contextmanager
def running(executable, settings=None):
    q = Qelo(executable, settings)
    try:
        q.attach()
        yield q
        output = q.stop()
        check(not any(mark in output for mark in ("Sanitizer", "runtime error:")),
              f"qelo reported a fault:\n{output}")
    except Failure:
        if ARTIFACTS:
            os.makedirs(ARTIFACTS, exist_ok=True)
            shot = os.path.join(ARTIFACTS, f"{CASE}-failure.png")
            subprocess.run(["import", "-window", "root", shot], check=False)
            print(f"screen at the failure: {shot}")
        print("qelo's output:\n" + q.stop())
        raise
    finally:
        q.stop()


# ---- steps of play -------------------------------------------------------------------------------

def wait_idle(q):
    """Start-up is over: the window is maximised and shows only the menu bar and the start button."""
    screen_w, screen_h = (int(v) for v in xdotool("getdisplaygeometry").split())

    def probe():
        frame = extents(q.window)
        maximised = frame.x == 0 and frame.w == screen_w and frame.y + frame.h == screen_h
        visible = sorted(describe(a) for a in descendants(q.window, only_showing=True))
        return maximised and showing(q.start), (frame, visible)
    poll(probe, "the maximised start screen", timeout=START_TIMEOUT)

    window_ids = output_of("xdotool", "search", "--all", "--onlyvisible", "--pid", q.process.pid, "--name", "^qelo$",
                           must_succeed=False).split()
    check(len(window_ids) == 1, f"one visible X window named qelo expected, found {window_ids}")
    wm_state = output_of("xprop", "-id", window_ids[0], "_NET_WM_STATE")
    check("_NET_WM_STATE_MAXIMIZED_VERT" in wm_state and "_NET_WM_STATE_MAXIMIZED_HORZ" in wm_state,
          f"window manager state: {wm_state.strip()}")

    visible = {(role(a), name(a)) for a in descendants(q.window, only_showing=True)}
    expected = {("filler", ""), ("menu bar", ""), ("menu item", "終了"), ("menu item", "設定"),
                ("menu item", "バージョン"), ("push button", "スタート")}
    check(visible == expected, f"on the start screen only the menu bar and スタート; extra {visible - expected}, "
                               f"missing {expected - visible}")
    check([name(i) for i in children(q.menu_bar)] == ["終了", "設定", "バージョン"], "menu bar order")


def wait_question(q, settings):
    """Waits for the question to be on screen alone, checks it and returns its text."""
    poll(lambda: (showing(q.question) and not showing(q.frame) and not showing(q.verdict), describe(q.question)),
         "a question")
    text = name(q.question)
    rect, client = extents(q.question), extents(q.client)
    check(len(text) == settings.string_len, f"question {text!r} should have {settings.string_len} symbols")
    check(all(c in SYMBOLS[:settings.kigou_num] for c in text),
          f"question {text!r} uses only the first {settings.kigou_num} symbols")
    check((rect.w, rect.h) == ((settings.string_len + 1) * KEY_PX, KEY_PX),
          f"question label {rect} is one cell wider than its symbols and one cell high")
    check(inside(rect, client), f"question label {rect} lies inside the client area {client}")
    check(not q.showing_keys() and not showing(q.start), "keys and start button are hidden under a question")
    return text


def wait_keyboard(q, settings):
    """Waits for the soft keyboard and checks the keys' cells; returns the visible keys by symbol."""
    poll(lambda: (showing(q.frame) and not showing(q.question), describe(q.frame)), "the soft keyboard")
    check(name(q.input) == "", f"the input line starts empty, holds {name(q.input)!r}")
    check(not showing(q.verdict), "no verdict while the keyboard is up")

    client, frame = extents(q.client), extents(q.frame)
    check((frame.x - client.x, frame.y - client.y, frame.w, frame.h) ==
          px(FRAME_LEFT_TWIPS, 0, FRAME_WIDTH_TWIPS, FRAME_HEIGHT_TWIPS), f"input frame at {frame} in client {client}")

    keys = q.showing_keys()
    check(sorted(keys, key=SYMBOLS.index) == list(SYMBOLS[:settings.kigou_num]),
          f"exactly keys 0..{settings.kigou_num - 1} are shown, got {''.join(sorted(keys, key=SYMBOLS.index))}")
    # Whole cells left free at the right and bottom edges, as the grid leaves one cell out each way.
    columns = client.w * TWIPS_PER_PIXEL // 375 - 1
    rows = (client.h * TWIPS_PER_PIXEL - 375 - FRAME_HEIGHT_TWIPS) // 375
    top = FRAME_HEIGHT_TWIPS // TWIPS_PER_PIXEL
    cells = {}
    for symbol, label in keys.items():
        r = extents(label)
        dx, dy = r.x - client.x, r.y - client.y - top
        check((r.w, r.h) == (KEY_PX, KEY_PX), f"key {symbol} is {r.w}x{r.h} px")
        check(dx % KEY_PX == 0 and dy % KEY_PX == 0, f"key {symbol} at {r} is off the grid of client {client}")
        cell = (dx // KEY_PX, dy // KEY_PX)
        check(0 <= cell[0] < columns and 0 <= cell[1] < rows,
              f"key {symbol} in cell {cell} outside the {columns}x{rows} grid")
        check(cell not in cells, f"keys {cells.get(cell)} and {symbol} share cell {cell}")
        cells[cell] = symbol
    return keys


def enter(q, keys, steps):
    """Clicks keys and BS as a player would, checking the input line after every click."""
    line = ""
    for step in steps:
        if step is BS:
            click(q.bs)
            line = line[:-1]
        else:
            click(keys[step])
            line += step
        poll(lambda: (name(q.input) == line, name(q.input)), f"the input line to read {line!r}")
    return line


def wait_verdict(q, expected, question):
    """Checks the verdict text and colour and the correct string shown below the input frame."""
    poll(lambda: (showing(q.verdict) and name(q.verdict) == expected, describe(q.verdict)), f"the verdict {expected}")
    began = time.monotonic()
    try:
        area, client = extents(q.verdict), extents(q.client)
        check((area.x - client.x, area.y - client.y) == px(VERDICT_LEFT_TWIPS, VERDICT_TOP_TWIPS),
              f"verdict label at {area} in client {client}")
        own, other = VERDICT_RGB[expected], VERDICT_RGB[WRONG if expected == RIGHT else RIGHT]

        def painted():
            pixels = grab(area)
            counts = count_colour(pixels, own), count_colour(pixels, other)
            return counts[0] >= 20 and counts[1] == 0, f"{counts[0]} pixels of {own}, {counts[1]} of {other}"
        poll(painted, f"{expected} painted in {own}", timeout=1.5)
        check(not q.showing_keys(), f"keys hidden under the verdict, shown: {''.join(q.showing_keys())}")
        check(showing(q.frame), "the input frame stays up with the verdict")
        check(showing(q.question) and name(q.question) == question, f"correct string {describe(q.question)}")
        correct, frame = extents(q.question), extents(q.frame)
        check(correct.x == frame.x and abs((correct.y - client.y) - (FRAME_HEIGHT_TWIPS + 10) / TWIPS_PER_PIXEL) < 1,
              f"correct string at {correct} should sit just below the input frame {frame}")
        check(showing(q.verdict), "the verdict stays up while it is checked")
    except Failure as failure:
        if showing(q.verdict):
            raise
        raise Failure(f"{failure} (the verdict was gone {time.monotonic() - began:.1f} s after it came up,"
                      " before its checks ended)") from None


def other_symbol(symbol, settings):
    return SYMBOLS[(SYMBOLS.index(symbol) + 1) % settings.kigou_num]


def play_turn(q, settings, steps_for):
    """One whole turn: reads the question, answers with steps_for(question, settings), checks the verdict."""
    question = wait_question(q, settings)
    keys = wait_keyboard(q, settings)
    line = enter(q, keys, steps_for(question, settings))
    click(q.ok)
    wait_verdict(q, RIGHT if line == question else WRONG, question)
    return question


# ---- the dialogs ---------------------------------------------------------------------------------

SETTINGS_CAPTION = "設定"
ABOUT_CAPTION = "qeloのﾊﾞｰｼﾞｮﾝ情報"
# Each combo box is known by the label on its row.
FIELD_LABELS = (("view_time", "表示時間"), ("string_len", "文字の長さ"),
                ("view_ans_time", "正誤の表示時間"), ("kigou_num", "記号の種類"))

PRESETS = {"view_time": ["10", "7", "5", "3", "2", "1", "0.7", "0.5", "0.3", "0.2", "0.1"],
           "string_len": [str(n) for n in range(3, 11)],
           "view_ans_time": ["1", "2", "3"],
           "kigou_num": ["55", "40", "30", "20", "10", "5"]}


def open_settings(q):
    """Opens the settings dialog and checks its buttons, its four combo boxes and their lists."""
    click(q.menu["設定"])
    dialog = q.dialog(SETTINGS_CAPTION)
    parts = list(descendants(dialog, only_showing=True))
    buttons = {name(p): p for p in parts if role(p) == "push button"}
    check({"変更", "キャンセル"} <= set(buttons), f"settings buttons {sorted(buttons)}")
    combos = [p for p in parts if role(p) == "combo box"]
    labels = [p for p in parts if role(p) == "label"]
    check(len(combos) == 4, f"four combo boxes, found {[describe(c) for c in combos]}")
    fields = {}
    for combo in combos:
        # The nearest label to its left on its row.
        c, row = extents(combo), [(extents(lb), name(lb)) for lb in labels]
        row = [(r.x, text) for r, text in row if r.x < c.x and c.y - 4 <= r.y + r.h // 2 <= c.y + c.h + 4]
        check(row, f"no label on the row of {describe(combo)}")
        text = max(row)[1]
        named = [f for f, prefix in FIELD_LABELS if text.startswith(prefix) and f not in fields]
        check(len(named) == 1, f"label {text!r} names {named}, not one setting still to find")
        field = named[0]
        fields[field] = combo
        items = [name(i) for i in children(one(children(combo, "list"), f"drop-down list of {field}"))]
        check(items == PRESETS[field], f"{field} offers {items}, expected {PRESETS[field]} once each")
    return dialog, buttons, fields


def read_fields(fields):
    return Settings(*(name(fields[field]) for field in Settings._fields))


def type_fields(fields, texts):
    for field, text in zip(Settings._fields, texts):
        combo = fields[field]
        area = extents(combo)
        # The edit part, clear of the drop-down arrow at the right.
        click_rect(Rect(area.x, area.y, area.w // 2, area.h))
        key("ctrl+a")
        xdotool("type", "--delay", "20", text)
        poll(lambda: (name(combo) == text, name(combo)), f"{field} to read {text!r}")


# ---- cases ---------------------------------------------------------------------------------------

def case_startup(exe):
    """Start-up without a settings file, restoring the window to its design size, then 終了."""
    with running(exe) as q:
        wait_idle(q)
        check(q.ini_contents() is None, "start-up creates no qelo.ini")
        # A double click on the title bar is openbox's way to restore a maximised window.
        frame = extents(q.window)
        xdotool("mousemove", frame.x + frame.w // 2, max(frame.y - 8, 1), "click", "--repeat", "2", "--delay", "100", "1")
        design = px(8595, 4680)
        poll(lambda: ((extents(q.client).w, extents(q.client).h) == design, extents(q.client)),
             f"the restored client area of 8595 x 4680 twips, {design} px")
        q.quit(ini=None)


# What the player clicks for a question; the input line this leaves decides the expected verdict.
TURNS = (
    ("right answer", lambda qn, s: list(qn)),
    ("last symbol wrong", lambda qn, s: [*qn[:-1], other_symbol(qn[-1], s)]),
    ("key three times, two BS, then right", lambda qn, s: [qn[0], qn[0], qn[0], BS, BS, *qn[1:]]),
    ("wrong symbol replaced with BS", lambda qn, s: [qn[0], other_symbol(qn[1], s), BS, *qn[1:]]),
    ("empty answer", lambda qn, s: []),
    ("one symbol too many", lambda qn, s: [*qn, qn[0]]),
    ("one symbol short after BS", lambda qn, s: [*qn, BS]),
    # Followed by BS and OK again during the verdict, which judge the line as it is then.
    ("right answer, then BS and OK during the verdict", lambda qn, s: list(qn)),
)


def case_turns(exe):
    """Several turns with a prepared settings file: answers right, wrong, edited and empty; then 終了 mid-turn."""
    settings = Settings(view_time=2.0, string_len=4, view_ans_time=1.5, kigou_num=55)
    with running(exe, settings) as q:
        wait_idle(q)
        click(q.start)
        for title, steps in TURNS:
            try:
                question = play_turn(q, settings, steps)
            except Failure as failure:
                raise Failure(f"turn '{title}': {failure}") from None
        click(q.bs)
        poll(lambda: (name(q.input) == question[:-1], name(q.input)), "BS during the verdict")
        click(q.ok)
        wait_verdict(q, WRONG, question)

        wait_question(q, settings)
        q.quit(ini=ini_bytes(settings))  # during a question


DEFAULT_TEXTS = Settings("3", "5", "3", "50")
BOUNDED = (Settings("12.5", "25", "0.05", "56"), Settings(10.0, 20, 0.1, 55), Settings("10", "20", "0.1", "55"))
PLAIN = (Settings("2.5", "3", "2", "7"), Settings(2.5, 3, 2.0, 7), Settings("2.5", "3", "2", "7"))


def case_settings(exe):
    """The settings dialog: cancel keeps everything, 変更 bounds and stores the typed values, play follows them."""
    with running(exe) as q:
        wait_idle(q)

        dialog, buttons, fields = open_settings(q)
        area = extents(dialog)
        check((area.w, area.h) == px(5010, 2850), f"settings dialog {area}")
        check(read_fields(fields) == DEFAULT_TEXTS, f"defaults shown: {read_fields(fields)}")
        type_fields(fields, BOUNDED[0])
        q.close_dialog(SETTINGS_CAPTION, buttons["キャンセル"])
        check(q.ini_contents() is None, "キャンセル writes no qelo.ini")

        for before, (typed, stored, shown) in ((DEFAULT_TEXTS, BOUNDED), (BOUNDED[2], PLAIN)):
            _, buttons, fields = open_settings(q)
            check(read_fields(fields) == before, f"reopened with {read_fields(fields)}, not {before}")
            type_fields(fields, typed)
            q.close_dialog(SETTINGS_CAPTION, buttons["変更"])
            check(q.ini_contents() == ini_bytes(stored),
                  f"typed {tuple(typed)}: qelo.ini holds {q.ini_contents()!r}, expected {ini_bytes(stored)!r}")
            dialog, buttons, fields = open_settings(q)
            check(read_fields(fields) == shown, f"after 変更 the dialog shows {read_fields(fields)}, not {shown}")
            if typed is PLAIN[0]:  # the close box, like キャンセル, keeps what was stored
                type_fields(fields, Settings("7", "8", "1", "40"))
                q.wait_active(dialog)
            q.close_dialog(SETTINGS_CAPTION, "alt+F4" if typed is PLAIN[0] else buttons["キャンセル"])
            check(q.ini_contents() == ini_bytes(stored), "closing without 変更 keeps qelo.ini")

        settings = PLAIN[1]
        click(q.start)
        play_turn(q, settings, TURNS[0][1])

        # The turn goes on behind the dialog, and the main window takes no clicks meanwhile.
        wait_question(q, settings)
        dialog, buttons, fields = open_settings(q)
        check(showing(q.question) and not showing(q.frame), "the question is still up when the dialog opens")
        keys = wait_keyboard(q, settings)
        covered = extents(dialog)
        free = [k for k in keys.values() if not overlaps(extents(k), covered, margin=40)]
        check(free, "some key should be clear of the dialog")
        click(free[0])
        q.close_dialog(SETTINGS_CAPTION, buttons["キャンセル"])
        check(name(q.input) == "", f"a key clicked behind the dialog entered {name(q.input)!r}")

        q.quit(ini=ini_bytes(settings))


def case_about(exe):
    """The About dialog shows title and version and closes by OK, Esc, Enter and the close box."""
    with running(exe) as q:
        wait_idle(q)
        for close in ("OK", "Escape", "Return", "alt+F4"):
            click(q.menu["バージョン"])
            dialog = q.dialog(ABOUT_CAPTION)
            parts = list(descendants(dialog, only_showing=True))
            texts = [name(p) for p in parts if role(p) == "label"]
            for wanted in ("qelo", "ﾊﾞｰｼﾞｮﾝ 1.0.0", "ｱﾌﾟﾘｹｰｼｮﾝの説明"):
                check(wanted in texts, f"About shows {wanted!r}; labels: {texts}")
            ok = one([p for p in parts if role(p) == "push button"], "button in About")
            check(name(ok) == "OK" and has_state(ok, Atspi.StateType.FOCUSED), f"OK has the focus: {describe(ok)}")
            area = extents(dialog)
            check(tuple(area) == px(2340, 1935, 5730, 3555), f"About's client area at {area}")
            try:
                q.close_dialog(ABOUT_CAPTION, ok if close == "OK" else close)
            except Failure as failure:
                raise Failure(f"closing About with {close}: {failure}") from None
        wait_idle(q)
        q.quit(ini=None, close_box=True)


CASES = {"startup": case_startup, "turns": case_turns, "settings": case_settings, "about": case_about}


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[2] not in CASES:
        sys.exit(f"usage: {sys.argv[0]} QELO_EXECUTABLE {{{'|'.join(CASES)}}} [ARTIFACT_DIR]")
    global ARTIFACTS, CASE
    exe, CASE = sys.argv[1], sys.argv[2]
    ARTIFACTS = sys.argv[3] if len(sys.argv) == 4 else None
    began = time.monotonic()
    try:
        CASES[CASE](exe)
    except Failure as failure:
        print(f"FAIL {CASE}: {failure}")
        sys.exit(1)
    print(f"PASS {CASE} in {time.monotonic() - began:.1f} s")


if __name__ == "__main__":
    main()

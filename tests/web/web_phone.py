"""Plays the page on phones by touch (docs/testing.md). Usage: web_phone.py SITE_FOLDER SHOTS_FOLDER LIGHTHOUSE"""
import json, os, pathlib, subprocess, sys  # noqa: E401

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts"))
from chromium import FLAGS, ROOTS, Browser  # noqa: E402

site, shots, lighthouse = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3]
PHONES = [(360, 640), (390, 844), (412, 915)]
TARGET = 44  # CSS px: Apple's 44 pt, WCAG 2.5.5
# What the player sees of the page: a page zoomed in by the browser shows less than the layout's width.
SEEN = "[visualViewport.offsetLeft, visualViewport.offsetTop, visualViewport.width, visualViewport.height]"
smallest = {}


def shot(name):
    shots.mkdir(parents=True, exist_ok=True)
    (shots / f"{name}.png").write_bytes(page.screenshot())


def fail(what):
    shot("failure")
    sys.exit(f"web_phone: {what}")


def outside(box, seen):
    """Whether the box reaches past what the screen shows (SEEN's values)."""
    left, top, width, height = seen
    return box["left"] < left or box["top"] < top or box["right"] > left + width or box["bottom"] > top + height


def misplaced(keys, others):
    """What is wrong with the keyboard on the screen as it is: too small, off the screen, or overlapping."""
    seen = page.js(SEEN)
    for e in keys + others:
        size = (e["right"] - e["left"], e["bottom"] - e["top"])
        if min(size) < TARGET or outside(e, seen):
            return f"{e['name']} {e['text']}: {size} at {e['left']:.0f}, {e['top']:.0f} " \
                   f"on a {seen[2]} x {seen[3]} screen"
    for i, a in enumerate(keys):
        for b in keys[:i]:
            if min(a["right"], b["right"]) > max(a["left"], b["left"]) and \
                    min(a["bottom"], b["bottom"]) > max(a["top"], b["top"]):
                return f"keys {a['text']} and {b['text']} overlap: {a} and {b}"
    return None


def keyboard(where):
    """Waits for a keyboard of 55 keys that a finger can hit, notes its smallest key and returns the keys."""
    why = []

    def probe():
        keys = page.keys()
        others = [e for name in ("lblInput", "Command1", "cmdAns") for e in page.find(name=name)]
        why.append(f"{len(keys)} keys, {len(others)} of the input line, BS and OK" if (len(keys), len(others)) !=
                   (55, 3) else misplaced([*keys.values()], others))
        return not why[-1] and keys
    page.on_failure = lambda: fail(f"{where}: {why[-1]}")
    keys = page.poll(probe, "keyboard")
    page.on_failure = lambda: shot("failure")
    smallest[where] = (min(k["right"] - k["left"] for k in keys.values()),
                       min(k["bottom"] - k["top"] for k in keys.values()))
    shot(f"{where}-keyboard")
    return keys


def right_answer(where, symbols=None, keys=None):
    """Answers the question shown (or symbols, already read) right by taps."""
    page.enter(symbols or page.question()[0], keys or keyboard(where))
    page.poll(lambda: page.find("正解", "lblAns"), f"正解 {where}")
    shot(f"{where}-verdict")
    page.watch_question()


def dialog(opener, control, closer, where):
    """Opens a dialog, checks that its window (found by a control inside) lies on the screen and closes it by a tap
    on closer. Its buttons take their names after the mirror has named them, so they are found by caption."""
    page.press(opener)
    page.poll(lambda: page.find(name=control), f"{opener} dialog")
    frame = page.js(ROOTS + f""".flatMap(r => [...r.querySelectorAll('[id$=".{control}"]')])
        .map(e => e.closest('.qt-window').getBoundingClientRect().toJSON()).pop()""")
    seen = page.js(SEEN)
    shot(f"{where}-{opener}")
    if outside(frame, seen):
        fail(f"{where}: the {opener} dialog lies at {frame} on a {seen[2]} x {seen[3]} screen")
    page.press(closer, "QPushButton")
    page.poll(lambda: not page.find(name=control), f"{opener} dialog closed by {closer}")


def lighthouse_scores():
    """Lighthouse's default mobile run of the page: its two scores, and the audits that did not pass."""
    report = shots / "lighthouse.json"
    subprocess.run([lighthouse, f"http://127.0.0.1:{page.port}/index.html", "--quiet", "--output=json",
                    f"--output-path={report}", "--only-categories=accessibility,best-practices",
                    "--chrome-flags=" + " ".join(FLAGS)], env=dict(os.environ, CHROME_PATH="/usr/bin/chromium"),
                   check=True)
    found = json.loads(report.read_text())
    failed = [a["id"] for a in found["audits"].values()
              if a["scoreDisplayMode"] in ("binary", "numeric") and a["score"] is not None and a["score"] < 1]
    return {c["title"]: c["score"] for c in found["categories"].values()}, failed


with Browser(site) as page:
    page.on_failure = lambda: shot("failure")
    for number, (width, height) in enumerate(PHONES):
        page.phone(width, height)
        page.open_game()
        zoom = dict(part.strip().split("=") for part in page.js("document.querySelector('meta[name=viewport]')"
                                                                ".content").split(","))
        if page.js("innerWidth") != width or zoom.get("user-scalable") in ("no", "0") or \
                float(zoom.get("maximum-scale", 5)) < 5:
            fail(f"the viewport is {page.js('innerWidth')} px wide on a {width} px phone, or not zoomable: {zoom}")
        if page.js("document.documentElement.scrollWidth > innerWidth || "
                   "document.documentElement.scrollHeight > innerHeight"):
            fail(f"the page scrolls on a {width} x {height} phone")
        if number == 0:
            # The most keys, and short questions; the browser keeps them for the other phones.
            page.press("設定")
            page.fill("cmbKigouNum", "55")
            page.fill("cmbViewTime", "1")
            page.fill("cmbViewAnsTime", "1")
            page.press("変更")
        page.watch_question()
        page.press("スタート", "cmdStart")
        upright, turned = f"{width}x{height}", f"{height}x{width}"
        right_answer(upright)

        # Turned with the keyboard up: every key must be reachable on the new screen, and the answer still right.
        symbols, _ = page.question()
        keyboard(f"{upright}-before-turning")
        page.phone(height, width)
        right_answer(f"{upright}-turned", symbols, keyboard(f"{turned}-after-turning"))
        dialog("バージョン", "lblVersion", "OK", turned)
        dialog("設定", "cmbKigouNum", "キャンセル", turned)
        right_answer(turned)

    scores, failed = lighthouse_scores()
    for where, (key_width, key_height) in smallest.items():
        print(f"Smallest key on a {where} phone: {key_width:.1f} x {key_height:.1f} CSS px")
    print("Lighthouse 12 (mobile): " + ", ".join(f"{title} {score}" for title, score in scores.items()))
    if any(score < 1 for score in scores.values()):
        sys.exit(f"web_phone: Lighthouse scores below 1; the audits that failed: {', '.join(failed)}")
    print("Played on phones by touch, upright and turned: keys a finger can hit, right answers, turning with the "
          "keyboard up, About and 設定 on the screen, zoom allowed")

"""Plays the page on phones by touch (docs/testing.md). Usage: web_phone.py chromium|firefox SITE SHOTS [LIGHTHOUSE]"""
import json, os, subprocess, sys  # noqa: E401

from browsers import FLAGS, SEEN, open_browser, poll

engine, site, shots = sys.argv[1:4]
# WebKitGTK has no touch emulation; Firefox's is one phone's, which takes long enough.
PHONES = [(360, 640), (390, 844), (412, 915)] if engine == "chromium" else [(390, 844)]
TARGET = 44  # CSS px: Apple's 44 pt, WCAG 2.5.5
smallest = {}


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
    keys = poll(probe, "keyboard", on_failure=lambda: page.fail(f"{where}: {why[-1]}"))
    smallest[where] = (min(k["right"] - k["left"] for k in keys.values()),
                       min(k["bottom"] - k["top"] for k in keys.values()))
    page.shot(f"{where}-keyboard")
    return keys


def right_answer(where, symbols=None, keys=None, cancelled=False):
    """Answers the question shown (or symbols, already read) right by taps; first, when cancelled, a touch on the
    first key that the browser cancels, as a phone does when its system takes the gesture over: it types nothing."""
    symbols, keys = symbols or page.question()[0], keys or keyboard(where)
    if cancelled:
        key = keys[symbols[0]]
        page.cdp("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": key["x"], "y": key["y"]}])
        page.cdp("Input.dispatchTouchEvent", type="touchCancel", touchPoints=[])
    page.enter(symbols, keys)
    page.poll(lambda: page.find("正解", "lblAns"), f"正解 {where}")
    page.shot(f"{where}-verdict")
    page.watch_question()


def dialog(opener, control, closer, where):
    """Opens a dialog, checks that its window, frame and title bar included, lies on the screen, and closes it by a
    tap on closer, found in that window."""
    page.press(opener)
    frame, seen = page.poll(lambda: page.find(name=control), f"{opener} dialog")[0]["frame"], page.js(SEEN)
    page.shot(f"{where}-{opener}")
    if outside(frame, seen):
        page.fail(f"{where}: the {opener} dialog lies at {frame} on a {seen[2]} x {seen[3]} screen")
    page.press(closer, within=control)
    page.poll(lambda: not page.find(name=control), f"{opener} dialog closed by {closer}")


def lighthouse_scores(lighthouse):
    """Lighthouse's default mobile run of the page: its two scores, and the audits that did not pass."""
    report = page.shots / "lighthouse.json"
    subprocess.run([lighthouse, f"http://127.0.0.1:{page.port}/index.html", "--quiet", "--output=json",
                    f"--output-path={report}", "--only-categories=accessibility,best-practices",
                    "--chrome-flags=" + " ".join(FLAGS)], env=dict(os.environ, CHROME_PATH="/usr/bin/chromium"),
                   check=True)
    found = json.loads(report.read_text())
    failed = [a["id"] for a in found["audits"].values()
              if a["scoreDisplayMode"] in ("binary", "numeric") and a["score"] is not None and a["score"] < 1]
    return {c["title"]: c["score"] for c in found["categories"].values()}, failed


with open_browser(engine, site, shots, touch=True) as page:
    for number, (width, height) in enumerate(PHONES):
        page.phone(width, height)
        page.open_game()
        zoom = dict(part.strip().split("=") for part in page.js("document.querySelector('meta[name=viewport]')"
                                                                ".content").split(","))
        if page.js("innerWidth") != width or zoom.get("user-scalable") in ("no", "0") or \
                float(zoom.get("maximum-scale", 5)) < 5:
            page.fail(f"the viewport is {page.js('innerWidth')} px wide on a {width} px phone, or not zoomable: {zoom}")
        if page.js("document.documentElement.scrollWidth > innerWidth || "
                   "document.documentElement.scrollHeight > innerHeight"):
            page.fail(f"the page scrolls on a {width} x {height} phone")
        if number == 0:
            # The most keys, and short questions; the browser keeps them for the other phones.
            page.press("設定")
            page.fill("cmbKigouNum", "55")
            page.fill("cmbViewTime", "1")
            page.fill("cmbViewAnsTime", "1")
            page.press("変更")
        upright, turned = f"{width}x{height}", f"{height}x{width}"
        dialog("バージョン", "lblVersion", "OK", upright)
        dialog("設定", "cmbKigouNum", "キャンセル", upright)
        page.start()
        right_answer(upright, cancelled=engine == "chromium" and width == 390)

        # Turned with the keyboard up: every key must be reachable on the new screen, and the answer still right.
        symbols, _ = page.question()
        keyboard(f"{upright}-before-turning")
        page.phone(height, width)
        right_answer(f"{upright}-turned", symbols, keyboard(f"{turned}-after-turning"))
        dialog("バージョン", "lblVersion", "OK", turned)
        dialog("設定", "cmbKigouNum", "キャンセル", turned)
        right_answer(turned)
    for where, (key_width, key_height) in smallest.items():
        print(f"Smallest key on a {where} phone in {engine}: {key_width:.1f} x {key_height:.1f} CSS px")
    if len(sys.argv) > 4:
        scores, failed = lighthouse_scores(sys.argv[4])
        print("Lighthouse 12 (mobile): " + ", ".join(f"{title} {score}" for title, score in scores.items()))
        if any(score < 1 for score in scores.values()):
            page.fail(f"Lighthouse scores below 1; the audits that failed: {', '.join(failed)}")
    print(f"Played on phones by touch in {engine}, upright and turned: keys a finger can hit, right answers, turning "
          f"with the keyboard up, {'a cancelled touch, ' * (engine == 'chromium')}both dialogs on the screen")

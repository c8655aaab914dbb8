"""Plays the browser build in headless Chromium: a right and a wrong turn with the verdict's colour, BS, 設定 → 変更 →
reload (the question then lasts the saved time), a refused store, バージョン, 終了, and a phone's viewport by touch.
Controls are found in Qt's screen-reader mirror of its widgets and clicked at their places with real input events.
Prints the figures. Usage: web_play.py SITE_FOLDER SHOTS_FOLDER"""
import io, pathlib, sys  # noqa: E401

from PIL import Image

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts"))
from chromium import Browser, poll as wait  # noqa: E402

site, shots = sys.argv[1], pathlib.Path(sys.argv[2])
BLUE, RED = (0, 0, 255), (255, 0, 0)
# Qt draws into shadow roots; the mirror is there too: each element's object name (its id's last part), text, place.
ROOTS = "[...document.querySelectorAll('*')].filter(e => e.shadowRoot).map(e => e.shadowRoot)"
MIRROR = ROOTS + """.flatMap(r => [...r.querySelectorAll('.qt-window-a11y-container *')]).map(e => {
  const r = e.getBoundingClientRect(); return {name: e.id.split('.').pop(), text: e.textContent || e.title || '',
  shown: e.ariaHidden !== 'true' && r.width > 0, x: r.x + r.width / 2, y: r.y + r.height / 2}; })"""


def poll(probe, what, timeout=20):
    return wait(probe, what, timeout, lambda: shot("failure"))


def shot(name):
    shots.mkdir(parents=True, exist_ok=True)
    (shots / f"{name}.png").write_bytes(page.screenshot())


def open_page():
    """Loads the page and turns the mirror on; returns the first frame's time from navigation, in seconds."""
    page.navigate("index.html")
    poll(lambda: page.js(ROOTS + ".some(r => r.querySelector('canvas'))"), "first frame")
    first = page.js("new Promise(r => requestAnimationFrame(() => r(performance.now())))")
    poll(lambda: page.js(ROOTS + """.flatMap(r => [...r.querySelectorAll('button')])
        .find(b => b.innerText === 'Enable Screen Reader')?.click() ?? true"""), "screen-reader button")
    return first / 1000


def find(text=None, name=None):
    return [e for e in page.js(MIRROR) if e["shown"] and text in (None, e["text"]) and name in (None, e["name"])]


def press(text, name=None):
    element = poll(lambda: find(text, name), text)[0]
    page.click(element["x"], element["y"])


def colour_count(element, colour):
    scale = page.js("devicePixelRatio")
    x, y = element["x"] * scale, element["y"] * scale
    image = Image.open(io.BytesIO(page.screenshot())).convert("RGB")
    return list(image.crop((int(x - 40 * scale), int(y - 12 * scale), int(x + 40 * scale), int(y + 12 * scale)))
                .getdata()).count(colour)


def watch_question():
    """Notes from now on when the question is shown, and then hidden."""
    page.js("window.seen = {}; " + ROOTS + """.forEach(root => new MutationObserver(() => {
        const e = [...root.querySelectorAll('[id$=".lblData"]')].pop();
        const state = !e ? null : e.ariaHidden !== 'true' ? 'shown' : window.seen.shown ? 'hidden' : null;
        if (state) window.seen[state] ??= [e.textContent, performance.now()];
        }).observe(root, {subtree: true, attributes: true, childList: true}));""")


def question():
    """The question's symbols and how long they stayed on screen, in seconds."""
    poll(lambda: page.js("window.seen.shown && window.seen.hidden"), "question shown and hidden", 30)
    (text, shown), (_, hidden) = page.js("window.seen.shown"), page.js("window.seen.hidden")
    return text, (hidden - shown) / 1000


def start():
    watch_question()
    press("スタート", "cmdStart")


def turn(answer, verdict, own, other):
    """Answers the next question with answer(its symbols) and checks the verdict's colour."""
    symbols, _ = question()
    keys = poll(lambda: {e["text"]: e for e in find(name="lblKey")}, "keyboard")
    typed = ""
    for symbol in answer(symbols):
        press("BS", "Command1") if symbol == "BS" else page.click(keys[symbol]["x"], keys[symbol]["y"])
        typed = typed[:-1] if symbol == "BS" else typed + symbol
    poll(lambda: find(typed, "lblInput"), f"{typed} typed")
    press("OK", "cmdAns")
    label = poll(lambda: find(verdict, "lblAns"), verdict)[0]
    poll(lambda: colour_count(label, own) >= 20 and colour_count(label, other) == 0, f"{verdict} in {own}")
    shot(verdict)
    # The correct string stays shown under the verdict; the next question replaces it.
    watch_question()


with Browser(site) as page:
    page.call("Page.enable")
    print(f"First frame on a fresh profile: {open_page():.2f} s")
    start()
    turn(lambda symbols: [symbols[0], "BS", *symbols], "正解", BLUE, RED)
    turn(lambda symbols: [*symbols[:-1], "BS"], "不正解", RED, BLUE)

    # 変更 keeps 1 s in the browser's storage; after a reload the question lasts that long.
    press("設定")
    field = poll(lambda: find(name="cmbViewTime"), "settings dialog")[0]
    page.click(field["x"], field["y"])
    page.call("Input.dispatchKeyEvent", type="rawKeyDown", key="a", code="KeyA", modifiers=2,
              windowsVirtualKeyCode=65)
    page.call("Input.insertText", text="1")
    shot("settings")
    press("変更")
    if find("変更"):
        sys.exit("web_play: the settings dialog stayed open after 変更")
    open_page()
    start()
    lengths = {1: question()[1]}
    page.call("Page.addScriptToEvaluateOnNewDocument", source="localStorage.clear()")
    open_page()
    start()
    lengths[3] = question()[1]
    for seconds, measured in sorted(lengths.items()):
        print(f"A {seconds} s question lasted {measured:.3f} s")
        if abs(measured - seconds) > 0.1:
            sys.exit(f"web_play: a {seconds} s question lasted {measured:.3f} s")

    # A store the browser refuses is told to the player, as a failed save on the desktop.
    page.call("Page.addScriptToEvaluateOnNewDocument", source="""Storage.prototype.setItem = () => {
        throw new DOMException('the quota is used up', 'QuotaExceededError'); }""")
    open_page()
    press("設定")
    press("変更")
    poll(lambda: any("QuotaExceededError" in e["text"] for e in find()), "refused store")
    shot("refused")
    press("OK")

    press("バージョン")
    poll(lambda: find("qelo"), "About dialog")
    shot("about")
    press("OK")
    press("終了")
    poll(lambda: page.js("document.getElementById('message').innerText") == "qelo を終了しました。", "end notice")
    shot("ended")

    # A phone held upright: the whole game fits without scrolling and plays by touch.
    page.phone(390, 844)
    open_page()
    if page.js("document.documentElement.scrollWidth > innerWidth || document.documentElement.scrollHeight > "
               "innerHeight"):
        sys.exit("web_play: the page scrolls on a phone")
    start()
    turn(lambda symbols: symbols, "正解", BLUE, RED)
    shot("phone")
    print("Played in headless Chromium: turns, BS, settings kept across a reload, a refused store, About, "
          "終了, a phone by touch")

"""Plays the browser build in headless Chromium through the DevTools protocol: a right and a wrong turn with the
verdict's colour, BS, 設定 → 変更 → reload (the question then lasts the saved time), a refused store, バージョン,
終了, and a phone's viewport by touch. Controls are found through Qt's screen-reader mirror and clicked at their
places with real input events. Prints the figures. Usage: web_play.py SITE_FOLDER SHOTS_FOLDER"""
import base64, functools, http.server, io, json, pathlib, socket, subprocess, sys, tempfile, threading, time  # noqa: E401
import urllib.request

import websocket
from PIL import Image

site, shots = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
BLUE, RED = (0, 0, 255), (255, 0, 0)
# Qt draws into shadow roots; its screen-reader mirror is there too: each element's object name (the last part of
# its id), text, place and visibility.
ROOTS = "[...document.querySelectorAll('*')].filter(e => e.shadowRoot).map(e => e.shadowRoot)"
MIRROR = ROOTS + """.flatMap(r => [...r.querySelectorAll('.qt-window-a11y-container *')]).map(e => {
  const r = e.getBoundingClientRect();
  return {name: e.id.split('.').pop(), tag: e.tagName, text: e.textContent || e.title || '',
          shown: e.ariaHidden !== 'true' && r.width > 0, x: r.x + r.width / 2, y: r.y + r.height / 2}; })"""


def poll(probe, what, timeout=20):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if result := probe():
            return result
        time.sleep(0.05)
    shots.mkdir(parents=True, exist_ok=True)
    (shots / "failure.png").write_bytes(page.shot())
    sys.exit(f"web_play: no {what} within {timeout} s")


class Page:
    def __init__(self, url):
        self.ws, self.next_id = websocket.create_connection(url, timeout=60), 0

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while (reply := json.loads(self.ws.recv())).get("id") != self.next_id:
            pass
        if "error" in reply:
            raise RuntimeError(f"{method}: {reply['error']}")
        return reply["result"]

    def js(self, expression):
        reply = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        return reply["result"].get("value")

    def open(self, path="index.html"):
        self.call("Page.navigate", url=f"http://127.0.0.1:{port}/{path}")
        poll(lambda: self.js("document.readyState") == "complete", "page")
        # The first frame: the main window's canvas is on the page and a frame has been drawn since.
        poll(lambda: self.js(ROOTS + ".some(r => r.querySelector('canvas'))"), "first frame")
        first = self.js("new Promise(r => requestAnimationFrame(() => r(performance.now())))")
        poll(lambda: self.js(ROOTS + """.flatMap(r => [...r.querySelectorAll('button')])
            .find(b => b.innerText === 'Enable Screen Reader')?.click() ?? true"""), "screen-reader button")
        return first / 1000

    def find(self, text=None, name=None):
        return [e for e in self.js(MIRROR) if e["shown"] and text in (None, e["text"]) and name in (None, e["name"])]

    def click(self, element):
        x, y = element["x"], element["y"]
        if touch:
            for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
                self.call("Input.dispatchTouchEvent", type=kind, touchPoints=points)
        else:
            for kind in ("mousePressed", "mouseReleased"):
                self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def press(self, caption, name=None):
        self.click(poll(lambda: self.find(caption, name), caption)[0])

    def shot(self, name=None):
        png = base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])
        if name:
            shots.mkdir(parents=True, exist_ok=True)
            (shots / f"{name}.png").write_bytes(png)
        return png


def colour_at(element, colour):
    scale = page.js("window.devicePixelRatio")
    image = Image.open(io.BytesIO(page.shot())).convert("RGB")
    x, y = element["x"] * scale, element["y"] * scale
    box = image.crop((int(x - 40 * scale), int(y - 12 * scale), int(x + 40 * scale), int(y + 12 * scale)))
    return sum(1 for pixel in box.getdata() if pixel == colour)


def watch_question():
    """Notes when the question is shown and hidden, from now on."""
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
    page.press("スタート", "cmdStart")


def turn(answer, verdict, own, other):
    """Answers the next question with answer(its symbols), checks the verdict's colour and waits for the next."""
    symbols, _ = question()
    keys = poll(lambda: {e["text"]: e for e in page.find(name="lblKey")}, "keyboard")
    for symbol in answer(symbols):
        page.press("BS", "Command1") if symbol == "BS" else page.click(keys[symbol])
    watch_question()
    page.press("OK", "cmdAns")
    label = poll(lambda: page.find(verdict, "lblAns"), verdict)[0]
    poll(lambda: colour_at(label, own) >= 20 and colour_at(label, other) == 0, f"{verdict} in {own}")
    page.shot(verdict)


def devtools(url):
    try:
        return urllib.request.urlopen(url).read()
    except OSError:
        return None


class Site(http.server.SimpleHTTPRequestHandler):
    extensions_map = {".wasm": "application/wasm", ".js": "text/javascript", ".html": "text/html"}

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Site, directory=str(site)))
port = server.server_address[1]
threading.Thread(target=server.serve_forever, daemon=True).start()
with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0))
    debug_port = probe.getsockname()[1]
profile = tempfile.mkdtemp()
browser = subprocess.Popen(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                            "--disable-background-networking", "--disable-component-update", "--disable-sync",
                            f"--remote-debugging-port={debug_port}", f"--user-data-dir={profile}",
                            "--window-size=1280,800", "about:blank"], stderr=subprocess.DEVNULL)
try:
    targets = poll(lambda: devtools(f"http://127.0.0.1:{debug_port}/json"), "DevTools")
    page, touch = Page(next(t for t in json.loads(targets) if t["type"] == "page")["webSocketDebuggerUrl"]), False
    page.call("Page.enable")
    print(f"First frame on a fresh profile: {page.open():.2f} s")
    page.shot("start")
    start()
    turn(lambda symbols: [symbols[0], "BS", *symbols], "正解", BLUE, RED)
    turn(lambda symbols: [*symbols[:-1], "BS"], "不正解", RED, BLUE)

    # 変更 keeps 1 s in the browser's storage; after a reload the question lasts that long.
    page.press("設定")
    page.click(poll(lambda: page.find(name="cmbViewTime"), "settings dialog")[0])
    page.shot("settings")
    page.call("Input.dispatchKeyEvent", type="rawKeyDown", key="a", code="KeyA", modifiers=2,
              windowsVirtualKeyCode=65)
    page.call("Input.insertText", text="1")
    page.press("変更")
    if page.find("変更"):
        sys.exit("web_play: the settings dialog stayed open after 変更")
    page.open()
    start()
    lengths = {1: question()[1]}
    page.call("Page.addScriptToEvaluateOnNewDocument", source="localStorage.clear()")
    page.open()
    start()
    lengths[3] = question()[1]
    for seconds, measured in sorted(lengths.items()):
        print(f"A {seconds} s question lasted {measured:.3f} s")
        if abs(measured - seconds) > 0.1:
            sys.exit(f"web_play: a {seconds} s question lasted {measured:.3f} s")

    # A store the browser refuses is told to the player, as a failed save on the desktop.
    page.call("Page.addScriptToEvaluateOnNewDocument", source="""Storage.prototype.setItem = () => {
        throw new DOMException('the quota is used up', 'QuotaExceededError'); }""")
    page.open()
    page.press("設定")
    page.press("変更")
    poll(lambda: any("QuotaExceededError" in e["text"] for e in page.find()), "refused store")
    page.shot("refused")
    page.press("OK")

    page.press("バージョン")
    poll(lambda: page.find("qelo"), "About dialog")
    page.shot("about")
    page.press("OK")
    page.press("終了")
    poll(lambda: page.js("document.getElementById('message').innerText") == "qelo を終了しました。", "end notice")
    page.shot("ended")

    # A phone held upright: the whole game fits without scrolling and plays by touch.
    page.call("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=3, mobile=True)
    page.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
    page.open()
    touch = True
    if page.js("document.documentElement.scrollWidth > innerWidth || document.documentElement.scrollHeight > "
               "innerHeight"):
        sys.exit("web_play: the page scrolls on a phone")
    start()
    turn(lambda symbols: symbols, "正解", BLUE, RED)
    page.shot("phone")
    print("Played in headless Chromium: turns, BS, settings kept across a reload, a refused store, About, "
          "終了, a phone by touch")
finally:
    browser.kill()
    server.shutdown()

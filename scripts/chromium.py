"""Debian's headless Chromium on a folder served from loopback, driven through the DevTools protocol: web.sh's play
tests use it, and so can a maintainer who wants a page's screenshot. Use: with Browser(folder) as page: ...
The game's controls are found in the screen-reader mirror Qt keeps of its widgets, and pressed at their places with
real input events."""
import base64, functools, http.server, json, shutil, socket, subprocess, tempfile, threading, time  # noqa: E401
import urllib.request

import websocket


def poll(probe, what, timeout=20, on_failure=None):
    """probe()'s first true result; exits naming what when there is none within timeout seconds."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if result := probe():
            return result
        time.sleep(0.05)
    if on_failure:
        on_failure()
    raise SystemExit(f"no {what} within {timeout} s")


# Without the background services' flags Chromium keeps calling hosts a closed network refuses.
FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"]
# Qt draws into shadow roots; the mirror is there too: each element's object name (its id's last part), text, place.
ROOTS = "[...document.querySelectorAll('*')].filter(e => e.shadowRoot).map(e => e.shadowRoot)"
MIRROR = ROOTS + """.flatMap(r => [...r.querySelectorAll('.qt-window-a11y-container *')]).map(e => {
  const r = e.getBoundingClientRect(); return {name: e.id.split('.').pop(), text: e.textContent || e.title || '',
  shown: e.ariaHidden !== 'true' && r.width > 0, x: r.x + r.width / 2, y: r.y + r.height / 2,
  left: r.left, top: r.top, right: r.right, bottom: r.bottom}; })"""


class Page:
    def __init__(self, url, port):
        self.ws, self.next_id, self.port, self.touch = websocket.create_connection(url, timeout=60), 0, port, False
        self.on_failure = None  # called when a wait gives up, to keep a screenshot of it

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

    def navigate(self, path):
        self.call("Page.navigate", url=f"http://127.0.0.1:{self.port}/{path}")
        poll(lambda: self.js("document.readyState") == "complete", path)

    def click(self, x, y):
        """A tap where touch is on, else a left click."""
        if self.touch:
            for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
                self.call("Input.dispatchTouchEvent", type=kind, touchPoints=points)
        else:
            for kind in ("mousePressed", "mouseReleased"):
                self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def phone(self, width, height):
        """A phone's screen of width x height CSS pixels, turned as its sides say, tapped by touch."""
        turned = {"type": "landscapePrimary", "angle": 90} if width > height else {"type": "portraitPrimary",
                                                                                   "angle": 0}
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=3, mobile=True,
                  screenWidth=width, screenHeight=height, screenOrientation=turned)
        self.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.touch = True

    def screenshot(self):
        return base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])

    def poll(self, probe, what, timeout=20):
        return poll(probe, what, timeout, self.on_failure)

    def open_game(self):
        """Loads the page and turns the mirror on; returns the first frame's time from navigation, in seconds."""
        self.navigate("index.html")
        self.poll(lambda: self.js(ROOTS + ".some(r => r.querySelector('canvas'))"), "first frame")
        first = self.js("new Promise(r => requestAnimationFrame(() => r(performance.now())))")
        self.poll(lambda: self.js(ROOTS + """.flatMap(r => [...r.querySelectorAll('button')])
            .find(b => b.innerText === 'Enable Screen Reader')?.click() ?? true"""), "screen-reader button")
        return first / 1000

    def find(self, text=None, name=None):
        return [e for e in self.js(MIRROR) if e["shown"] and text in (None, e["text"]) and name in (None, e["name"])]

    def press(self, text, name=None):
        element = self.poll(lambda: self.find(text, name), text)[0]
        self.click(element["x"], element["y"])

    def fill(self, name, text):
        """Replaces the text of the field of that name (a combo box's edit field) with text, as typed."""
        field = self.poll(lambda: self.find(name=name), name)[0]
        self.click(field["x"], field["y"])
        self.call("Input.dispatchKeyEvent", type="rawKeyDown", key="a", code="KeyA", modifiers=2,
                  windowsVirtualKeyCode=65)
        self.call("Input.insertText", text=text)

    def watch_question(self):
        """Notes from now on when the question is shown, and then hidden."""
        self.js("window.seen = {}; " + ROOTS + """.forEach(root => new MutationObserver(() => {
            const e = [...root.querySelectorAll('[id$=".lblData"]')].pop();
            const state = !e ? null : e.ariaHidden !== 'true' ? 'shown' : window.seen.shown ? 'hidden' : null;
            if (state) window.seen[state] ??= [e.textContent, performance.now()];
            }).observe(root, {subtree: true, attributes: true, childList: true}));""")

    def question(self):
        """The question's symbols and how long they stayed on screen, in seconds."""
        self.poll(lambda: self.js("window.seen.shown && window.seen.hidden"), "question shown and hidden", 30)
        (text, shown), (_, hidden) = self.js("window.seen.shown"), self.js("window.seen.hidden")
        return text, (hidden - shown) / 1000

    def keys(self):
        return self.poll(lambda: {e["text"]: e for e in self.find(name="lblKey")}, "keyboard")

    def enter(self, symbols, keys=None):
        """Presses the keys (or BS) for symbols, checks the input line, then presses OK."""
        keys, typed = keys or self.keys(), ""
        for symbol in symbols:
            self.press("BS", "Command1") if symbol == "BS" else self.click(keys[symbol]["x"], keys[symbol]["y"])
            typed = typed[:-1] if symbol == "BS" else typed + symbol
        self.poll(lambda: self.find(typed, "lblInput"), f"{typed} typed")
        self.press("OK", "cmdAns")


class Site(http.server.SimpleHTTPRequestHandler):
    extensions_map = {".wasm": "application/wasm", ".js": "text/javascript", ".html": "text/html"}

    def log_message(self, *args):
        pass


def fetch(url):
    try:
        return urllib.request.urlopen(url).read()
    except OSError:
        return None


class Browser:
    def __init__(self, folder):
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Site, directory=folder))
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.debug_port = probe.getsockname()[1]
        self.profile = tempfile.mkdtemp()

    def __enter__(self):
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.chromium = subprocess.Popen(
            ["chromium", *FLAGS, f"--remote-debugging-port={self.debug_port}", f"--user-data-dir={self.profile}",
             "--window-size=1280,800", "about:blank"], stderr=subprocess.DEVNULL)
        targets = json.loads(poll(lambda: fetch(f"http://127.0.0.1:{self.debug_port}/json"), "DevTools"))
        url = next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"]
        return Page(url, self.server.server_address[1])

    def __exit__(self, *exc):
        self.chromium.kill()
        self.chromium.wait()
        self.server.shutdown()
        shutil.rmtree(self.profile, ignore_errors=True)

"""Debian's headless Chromium on a folder served from loopback, driven through the DevTools protocol: web.sh's
tests use it, and so can a maintainer who wants a page's screenshot. Use: with Browser(folder) as page: ...
The game's controls are found in the screen-reader mirror Qt keeps of its widgets, and pressed at their places with
real input events."""
import base64, hashlib, http.server, json, pathlib, shutil, socket, subprocess, tempfile, threading  # noqa
import time, urllib.parse, urllib.request  # noqa: E401

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
# A label's element is a text area whose padding and border the browser adds to the control's size.
ROOTS = "[...document.querySelectorAll('*')].filter(e => e.shadowRoot).map(e => e.shadowRoot)"
MIRROR = ROOTS + """.flatMap(r => [...r.querySelectorAll('.qt-window-a11y-container *')]).map(e => {
  const r = e.getBoundingClientRect(), s = getComputedStyle(e), extra = side => s.boxSizing === 'border-box' ? 0 :
    ['padding', 'border'].reduce((sum, kind) => sum + (parseFloat(s[kind + side + (kind === 'border' ? 'Width' : '')])
    || 0), 0), right = r.right - extra('Left') - extra('Right'), bottom = r.bottom - extra('Top') - extra('Bottom');
  return {name: e.id.split('.').pop(), text: e.textContent || e.title || '',
  shown: e.ariaHidden !== 'true' && r.width > 0, x: (r.x + right) / 2, y: (r.y + bottom) / 2,
  left: r.left, top: r.top, right, bottom}; })"""


class Page:
    def __init__(self, url, port):
        self.ws, self.next_id, self.port, self.touch = websocket.create_connection(url, timeout=60), 0, port, False
        self.events = []  # what the enabled domains reported meanwhile, oldest first
        self.on_failure = None  # called when a wait gives up, to keep a screenshot of it

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while (reply := json.loads(self.ws.recv())).get("id") != self.next_id:
            if "method" in reply:
                self.events.append(reply)
        if "error" in reply:
            raise RuntimeError(f"{method}: {reply['error']}")
        return reply["result"]

    def js(self, expression):
        """The expression's value; None while the page is between two documents."""
        try:
            reply = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        except RuntimeError as error:
            if "context" in str(error).lower():
                return None
            raise
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

    def throttle(self, phone):
        """Lighthouse's phone (150 ms round trip, 1.6 Mbit/s down, 750 kbit/s up, a CPU four times slower), or none."""
        self.call("Network.emulateNetworkConditions", offline=False, latency=150 if phone else 0,
                  downloadThroughput=1.6e6 / 8 if phone else -1, uploadThroughput=750e3 / 8 if phone else -1)
        self.call("Emulation.setCPUThrottlingRate", rate=4 if phone else 1)

    def served(self):
        """{path: SHA-256} of every file this server sent since self.events was emptied (Network enabled)."""
        bodies, origin = {}, f"http://127.0.0.1:{self.port}/"
        for event in (e["params"] for e in self.events if e["method"] == "Network.responseReceived"):
            if event["response"]["url"].startswith(origin) and event["response"]["status"] == 200:
                body = self.call("Network.getResponseBody", requestId=event["requestId"])
                data = base64.b64decode(body["body"]) if body["base64Encoded"] else body["body"].encode()
                bodies[event["response"]["url"].removeprefix(origin) or "index.html"] = hashlib.sha256(data).hexdigest()
        return bodies

    def screenshot(self):
        return base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])

    def poll(self, probe, what, timeout=20):
        return poll(probe, what, timeout, self.on_failure)

    def open_game(self):
        """Loads the page and turns the mirror on; returns the first frame's time from navigation, in seconds."""
        self.navigate("index.html")
        return self.game_shown()

    def game_shown(self, timeout=20):
        """Waits for the game's first frame and turns the mirror on; returns that frame's time from navigation."""
        self.poll(lambda: self.js(ROOTS + ".some(r => r.querySelector('canvas'))"), "first frame", timeout)
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
        # Qt takes a tap's focus change on its next frames; typed text goes to whatever has focus then.
        self.js("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")
        self.call("Input.dispatchKeyEvent", type="rawKeyDown", key="a", code="KeyA", modifiers=2,
                  windowsVirtualKeyCode=65)
        self.call("Input.insertText", text=text)

    def watch_question(self):
        """Notes from now on when the question is shown, and then hidden. The same label shows the correct string
        beside the verdict, and may go from that to the next question at once: it is the question while no verdict
        shows."""
        self.js("""window.seen = {}; {
            const roots = """ + ROOTS + """, shown = name => {
                const e = roots.flatMap(r => [...r.querySelectorAll(`[id$=".${name}"]`)]).pop();
                return e && e.ariaHidden !== 'true' ? e.textContent : null;
            };
            const note = () => {
                const text = shown('lblData'), seen = window.seen;
                if (text !== null && !seen.shown && shown('lblAns') === null)
                    seen.shown = [text, performance.now()];
                else if (text === null && seen.shown)
                    seen.hidden ??= [seen.shown[0], performance.now()];
            };
            roots.forEach(r => new MutationObserver(note).observe(r, {subtree: true, attributes: true, childList: true}));
            }""")

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
    """Serves Site.folder as a static host or a CDN would: with the rules of its _headers, a file's brotli copy to a
    browser that takes it, revalidation by ETag. Site.sent counts the bytes of the bodies sent; while Site.down it
    answers nothing, as for a phone without a network."""
    folder, down, sent = None, False, 0
    extensions_map = {".wasm": "application/wasm", ".js": "text/javascript", ".html": "text/html",
                      ".webmanifest": "application/manifest+json", ".png": "image/png"}

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=str(Site.folder), **kwargs)

    def log_message(self, *args):
        pass

    def send_head(self):
        path = urllib.parse.urlparse(self.path).path
        file = pathlib.Path(Site.folder, path.lstrip("/") or "index.html")
        if Site.down or not file.is_file():
            self.close_connection = Site.down
            return None if Site.down else super().send_head()
        packed = file.with_name(file.name + ".br")
        body = packed if "br" in self.headers.get("Accept-Encoding", "") and packed.is_file() else file
        tag, rules, match = '"%x"' % body.stat().st_mtime_ns, {"Content-Type": self.guess_type(str(file))}, False
        hosts = pathlib.Path(Site.folder, "_headers")
        for line in (hosts.read_text() if hosts.is_file() else "").splitlines():
            if line.startswith("/"):
                match = path == line or line.endswith("*") and path.startswith(line[:-1])
            elif match and ":" in line:
                rules.update([map(str.strip, line.split(":", 1))])
        fresh = self.headers.get("If-None-Match") == tag
        self.send_response(304 if fresh else 200)
        for name, value in {**rules, "ETag": tag, "Vary": "Accept-Encoding"}.items():
            self.send_header(name, value)
        if not fresh:
            self.send_header("Content-Length", str(body.stat().st_size))
            if body is packed:
                self.send_header("Content-Encoding", "br")
            Site.sent += body.stat().st_size
        self.end_headers()
        return None if fresh else open(body, "rb")


def fetch(url):
    try:
        return urllib.request.urlopen(url).read()
    except OSError:
        return None


class Browser:
    def __init__(self, folder):
        Site.folder = folder
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site)
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

"""The game's steps, written once, in three engines on a folder served from loopback: Chromium and WebKitGTK through
WebDriver (Debian's selenium), Firefox through WebDriver BiDi. Controls are found in the screen-reader mirror Qt keeps
of its widgets and pressed at their places with real pointer and key input. Use: with open_browser(...) as page:"""
import base64, contextlib, hashlib, http.server, io, json, pathlib, re, shutil, socket, subprocess, sys  # noqa
import tempfile, threading, time, urllib.parse  # noqa: E401

import websocket
from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def poll(probe, what, timeout=20, on_failure=None):
    """probe()'s first true result (a refused connection is none yet); exits naming what when none comes in time."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        with contextlib.suppress(OSError):
            if result := probe():
                return result
        time.sleep(0.05)
    if on_failure:
        on_failure()
    raise SystemExit(f"no {what} within {timeout} s")


# Without the background services' flags Chromium keeps calling hosts a closed network refuses.
FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"]
BLUE, RED = (0, 0, 255), (255, 0, 0)
# What the player sees of the page: a page zoomed in by the browser shows less than the layout's width.
SEEN = "[visualViewport.offsetLeft, visualViewport.offsetTop, visualViewport.width, visualViewport.height]"
# Qt draws into shadow roots; the mirror is there too: each element's object name (its id's last part), text, place,
# and its window (the frame's number and place). A label's element is a text area whose padding and border the
# browser adds to the control's size.
ROOTS = "[...document.querySelectorAll('*')].filter(e => e.shadowRoot).map(e => e.shadowRoot)"
MIRROR = "(frames => " + ROOTS + """.flatMap(r => [...r.querySelectorAll('.qt-window-a11y-container *')]).map(e => {
  const r = e.getBoundingClientRect(), s = getComputedStyle(e), extra = side => s.boxSizing === 'border-box' ? 0 :
    ['padding', 'border'].reduce((sum, kind) => sum + (parseFloat(s[kind + side + (kind === 'border' ? 'Width' : '')])
    || 0), 0), right = r.right - extra('Left') - extra('Right'), bottom = r.bottom - extra('Top') - extra('Bottom');
  const frame = e.closest('.qt-window');
  return {name: e.id.split('.').pop(), text: e.textContent || e.title || '',
  shown: e.ariaHidden !== 'true' && r.width > 0, x: (r.x + right) / 2, y: (r.y + bottom) / 2,
  left: r.left, top: r.top, right, bottom, window: frames.indexOf(frame), frame: frame?.getBoundingClientRect()}; }))(
  """ + ROOTS + ".flatMap(r => [...r.querySelectorAll('.qt-window')]))"


class Page:
    """The game's steps over an engine's evaluate(a promise of a string), load(url), act(W3C input sources), png()."""
    def __init__(self, shots, port, touch=False):
        self.shots, self.port, self.engine, self.touch = pathlib.Path(shots), port, type(self).__name__.lower(), touch

    def js(self, expression):
        """The expression's value (awaited), or None while the page is between two documents."""
        try:
            return json.loads(self.evaluate(f"Promise.resolve({expression}).then(v => JSON.stringify(v ?? null))")
                              or "null")
        except Exception as error:  # each engine names a vanished document its own way
            if re.search("context|navigat|realm|document unloaded|parse script result", str(error), re.I):
                return None
            raise

    def shot(self, name):
        self.shots.mkdir(parents=True, exist_ok=True)
        (self.shots / f"{name}.png").write_bytes(self.png())

    def fail(self, why):
        self.shot("failure")
        raise SystemExit(f"{pathlib.Path(sys.argv[0]).stem} in {self.engine}: {why}")

    def poll(self, probe, what, timeout=20):
        return poll(probe, what, timeout, lambda: self.shot("failure"))

    def click(self, x, y):
        """A tap where touch is on, else a left click."""
        kind = "touch" if self.touch else "mouse"
        self.act([{"type": "pointer", "id": kind, "parameters": {"pointerType": kind}, "actions": [
            {"type": "pointerMove", "x": round(x), "y": round(y), "origin": "viewport"},
            {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]}])

    def type(self, text):
        """Selects what the focused field holds (Ctrl+A) and types text over it, key by key."""
        keys = [("keyDown", "\ue009"), ("keyDown", "a"), ("keyUp", "a"), ("keyUp", "\ue009"),
                *((kind, c) for c in text for kind in ("keyDown", "keyUp"))]
        self.act([{"type": "key", "id": "keyboard", "actions": [{"type": kind, "value": c} for kind, c in keys]}])

    def open_game(self, path="index.html"):
        """Loads the page and turns the mirror on; returns the first frame's time from navigation, in seconds."""
        self.load(f"http://127.0.0.1:{self.port}/{path}")
        return self.game_shown()

    def game_shown(self, timeout=20):
        """Waits for the game's first frame and turns the mirror on; returns that frame's time from navigation.
        The mirror's switch is a button only a screen reader reaches; a script presses it."""
        self.poll(lambda: self.js(ROOTS + ".some(r => r.querySelector('canvas'))"), "first frame", timeout)
        first = self.js("new Promise(r => requestAnimationFrame(() => r(performance.now())))")
        self.poll(lambda: self.js(ROOTS + """.flatMap(r => [...r.querySelectorAll('button')])
            .find(b => b.innerText === 'Enable Screen Reader')?.click() ?? true"""), "screen-reader button")
        self.poll(lambda: self.find("スタート"), "スタート")
        return first / 1000

    def find(self, text=None, name=None, within=None):
        """The shown controls of that caption and object name, within the window of the control named within."""
        found = [e for e in self.js(MIRROR) or [] if e["shown"]]
        windows = {e["window"] for e in found if e["name"] == within}
        return [e for e in found if text in (None, e["text"]) and name in (None, e["name"]) and
                (within is None or e["window"] in windows)]

    def press(self, text, name=None, within=None):
        element = self.poll(lambda: self.find(text, name, within), text or f"{name} in the window of {within}")[0]
        self.click(element["x"], element["y"])

    def fill(self, name, text):
        """Replaces the text of the field of that name (a combo box's edit field) with text, as typed."""
        field = self.poll(lambda: self.find(name=name), name)[0]
        self.click(field["x"], field["y"])
        # Qt takes a tap's focus change on its next frames; typed text goes to whatever has focus then.
        self.js("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")
        self.type(text)

    def watch_question(self):
        """Notes from now on when the question is shown, and then hidden. The same label shows the correct string
        beside the verdict, and may go from that to the next question at once: it is the question while no verdict
        shows."""
        self.js("""(() => { const seen = window.seen = {}, roots = """ + ROOTS + """, shown = name => {
            const e = roots.flatMap(r => [...r.querySelectorAll(`[id$=".${name}"]`)]).pop();
            return e && e.ariaHidden !== 'true' ? e.textContent : null; }, note = () => {
            const text = shown('lblData');
            if (text !== null && !seen.shown && shown('lblAns') === null) seen.shown = [text, performance.now()];
            else if (text === null && seen.shown) seen.hidden ??= [seen.shown[0], performance.now()]; };
            roots.forEach(r => new MutationObserver(note).observe(r, {subtree: true, attributes: true,
                                                                      childList: true}));
            })()""")

    def start(self):
        self.watch_question()
        self.press("スタート", "cmdStart")

    def question(self):
        """The question's symbols and how long they stayed on screen, in seconds."""
        self.poll(lambda: self.js("window.seen.shown && window.seen.hidden"), "question shown and hidden", 30)
        (text, shown), (_, hidden) = self.js("window.seen.shown"), self.js("window.seen.hidden")
        return text, (hidden - shown) / 1000

    def question_lasts(self, seconds):
        """The question's symbols, once it has lasted that long (a kept setting's), to 0.1 s."""
        symbols, length = self.question()
        print(f"A {seconds} s question lasted {length:.3f} s in {self.engine}")
        if abs(length - seconds) > 0.1:
            self.fail(f"a {seconds} s question lasted {length:.3f} s")
        return symbols

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

    def colour_count(self, element, colour):
        scale, image = self.js("devicePixelRatio"), Image.open(io.BytesIO(self.png())).convert("RGB")
        x, y, w, h = element["x"] * scale, element["y"] * scale, 40 * scale, 12 * scale
        return list(image.crop((int(x - w), int(y - h), int(x + w), int(y + h))).getdata()).count(colour)

    def turn(self, answer, verdict, own, other, seconds=None):
        """Answers the question shown with answer(its symbols), checks the verdict's colour in the screenshot."""
        symbols = self.question_lasts(seconds) if seconds else self.question()[0]
        self.enter(answer(symbols))
        label = self.poll(lambda: self.find(verdict, "lblAns"), verdict)[0]
        self.poll(lambda: self.colour_count(label, own) >= 20 and self.colour_count(label, other) == 0,
                  f"{verdict} in {own}")
        self.shot(verdict)
        # The correct string stays shown under the verdict; the next question replaces it.
        self.watch_question()

    def keep_view_time(self, seconds):
        """Types the question's time into 設定 and keeps it with 変更."""
        self.press("設定")
        self.fill("cmbViewTime", seconds)
        self.shot("settings")
        self.press("変更")
        self.poll(lambda: not self.find("変更"), "settings dialog closed by 変更")

    def version_shown(self):
        """Opens バージョン and closes it by its OK; returns the version shown. The OK is the About window's push
        button, whatever its caption (the main window's answer button is OK too); that window is the one of
        lblVersion, since the mirror may give a new window the element, and so the name, of one closed before."""
        self.press("バージョン")
        text = self.poll(lambda: self.find(name="lblVersion"), "About dialog")[0]["text"]
        self.shot("about")
        self.press(None, "QPushButton", within="lblVersion")
        self.poll(lambda: not self.find(name="lblVersion"), "About dialog closed by its OK")
        return text

    def kept(self, folder):
        """Waits for the service worker to keep that folder's version and serve it."""
        version = re.search(r'const version = "(\w+)"', (pathlib.Path(folder) / "sw.js").read_text())[1]
        self.poll(lambda: self.js(f"""navigator.serviceWorker.getRegistration().then(async r => r?.active?.state ===
            'activated' && (await caches.keys()).some(name => name.endsWith(' {version}')))"""), "version kept", 30)


class Selenium(Page):
    driver = None

    def close(self):
        if self.driver:
            self.driver.quit()

    def evaluate(self, expression):
        return self.driver.execute_script("return " + expression)

    def load(self, url):
        self.driver.get(url)

    def act(self, sources):
        self.driver.execute("actions", {"actions": sources})

    def png(self):
        return self.driver.get_screenshot_as_png()

class Chromium(Selenium):
    def launch(self):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in [*FLAGS, "--window-size=1280,800"]:
            options.add_argument(flag)
        # The DevTools events, so that served() can read back every file a visit was given.
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)

    def cdp(self, method, **params):
        return self.driver.execute_cdp_cmd(method, params)

    def phone(self, width, height):
        """A phone's screen of width x height CSS pixels, turned as its sides say, tapped by touch."""
        turned = {"type": "landscapePrimary" if width > height else "portraitPrimary", "angle": 90 * (width > height)}
        self.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=3, mobile=True,
                 screenWidth=width, screenHeight=height, screenOrientation=turned)
        self.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.touch = True

    def throttle(self, phone):
        """Lighthouse's phone (150 ms round trip, 1.6 Mbit/s down, 750 kbit/s up, a CPU four times slower), or none."""
        self.cdp("Network.emulateNetworkConditions", offline=False, latency=150 if phone else 0,
                 downloadThroughput=1.6e6 / 8 if phone else -1, uploadThroughput=750e3 / 8 if phone else -1)
        self.cdp("Emulation.setCPUThrottlingRate", rate=4 if phone else 1)

    def served(self):
        """{path: SHA-256} of every file this server sent since the performance log was last read."""
        bodies, origin = {}, f"http://127.0.0.1:{self.port}/"
        for event in (json.loads(e["message"])["message"] for e in self.driver.get_log("performance")):
            response = event["params"].get("response", {})
            if event["method"] == "Network.responseReceived" and response["url"].startswith(origin) and \
                    response["status"] == 200:
                body = self.cdp("Network.getResponseBody", requestId=event["params"]["requestId"])
                data = base64.b64decode(body["body"]) if body["base64Encoded"] else body["body"].encode()
                bodies[response["url"].removeprefix(origin) or "index.html"] = hashlib.sha256(data).hexdigest()
        return bodies


class WebKit(Selenium):
    """WebKitGTK's MiniBrowser through WebKitWebDriver (selenium 4.31, Debian 13's); it needs an X display."""
    def launch(self):
        options = webdriver.WebKitGTKOptions()
        options.binary_location = str(next(pathlib.Path("/usr/lib/x86_64-linux-gnu").glob("webkit*/MiniBrowser")))
        options.add_argument("--automation")
        service = webdriver.WebKitGTKService("/usr/bin/WebKitWebDriver")
        self.driver = webdriver.WebKitGTK(options=options, service=service)
        self.driver.set_window_rect(width=1280, height=800)


class Firefox(Page):
    """Firefox ESR, headless, through WebDriver BiDi, which no packaged library speaks without geckodriver (not in
    Debian). A phone's takes touch input and matches (pointer: coarse)."""
    firefox = None

    def launch(self):
        self.next_id, self.profile = 0, tempfile.mkdtemp()
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            bidi_port = probe.getsockname()[1]
        prefs = {"dom.w3c_touch_events.enabled": 1, "dom.maxtouchpoints.testing.value": 5,
                 "ui.primaryPointerCapabilities": 1} if self.touch else {}
        pathlib.Path(self.profile, "user.js").write_text(
            "".join(f"user_pref({json.dumps(k)}, {json.dumps(v)});\n" for k, v in prefs.items()))
        self.firefox = subprocess.Popen(["firefox-esr", "--headless", "--no-remote", "--profile", self.profile,
                                         f"--remote-debugging-port={bidi_port}", "about:blank"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Firefox refuses a handshake that names an origin, as a page's would.
        self.ws = poll(lambda: websocket.create_connection(f"ws://127.0.0.1:{bidi_port}/session", suppress_origin=True,
                                                           timeout=60), "WebDriver BiDi", 60)
        self.call("session.new", capabilities={})
        self.context = self.call("browsingContext.getTree")["contexts"][0]["context"]

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while (reply := json.loads(self.ws.recv())).get("id") != self.next_id:
            pass
        if "error" in reply:
            raise RuntimeError(f"{method}: {reply['error']}: {reply.get('message')}")
        return reply["result"]

    def evaluate(self, expression):
        reply = self.call("script.evaluate", expression=expression, target={"context": self.context},
                          awaitPromise=True)
        if reply["type"] == "exception":
            raise RuntimeError(reply["exceptionDetails"]["text"])
        return reply["result"].get("value")

    def load(self, url):
        self.call("browsingContext.navigate", context=self.context, url=url, wait="complete")

    def act(self, sources):
        self.call("input.performActions", context=self.context, actions=sources)

    def png(self):
        return base64.b64decode(self.call("browsingContext.captureScreenshot", context=self.context)["data"])

    def close(self):
        if self.firefox:
            self.firefox.kill()
            self.firefox.wait()
        shutil.rmtree(self.profile, ignore_errors=True)

    def phone(self, width, height):
        self.call("browsingContext.setViewport", context=self.context, viewport={"width": width, "height": height},
                  devicePixelRatio=3)


class Site(http.server.SimpleHTTPRequestHandler):
    """Serves Site.folder as a static host or a CDN would: with the rules of its _headers, a file's brotli copy to a
    browser that takes it, revalidation by ETag. Site.sent counts the bytes of the bodies sent; while Site.down it
    answers nothing, as for a phone without a network."""
    folder, down, sent = None, False, 0
    extensions_map = {".wasm": "application/wasm", ".js": "text/javascript", ".html": "text/html",
                      ".webmanifest": "application/manifest+json", ".png": "image/png"}

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=str(Site.folder), **kwargs)
    log_message = lambda *args: None  # noqa: E731

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


ENGINES = {"chromium": Chromium, "webkit": WebKit, "firefox": Firefox}


@contextlib.contextmanager
def open_browser(engine, folder, shots, **options):
    """The engine's page on folder, served from loopback as a static host would."""
    Site.folder = folder
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    page = ENGINES[engine](shots, server.server_address[1], **options)
    try:
        page.launch()
        yield page
    finally:
        page.close()
        server.shutdown()

"""Debian's headless Chromium on a folder served from loopback, driven through the DevTools protocol: web.sh's play
test uses it, and so can a maintainer who wants a page's screenshot. Use: with Browser(folder) as page: ..."""
import base64, hashlib, http.server, json, pathlib, shutil, socket, subprocess, tempfile, threading, time  # noqa: E401
import urllib.parse, urllib.request

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


class Page:
    def __init__(self, url, port):
        self.ws, self.next_id, self.port, self.touch = websocket.create_connection(url, timeout=60), 0, port, False
        self.events = []  # what the enabled domains reported meanwhile, oldest first

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
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=3, mobile=True)
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
        # Without the background services' flags Chromium keeps calling hosts a closed network refuses.
        self.chromium = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             f"--remote-debugging-port={self.debug_port}", f"--user-data-dir={self.profile}",
             "--window-size=1280,800", "about:blank"], stderr=subprocess.DEVNULL)
        targets = json.loads(poll(lambda: fetch(f"http://127.0.0.1:{self.debug_port}/json"), "DevTools"))
        url = next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"]
        return Page(url, self.server.server_address[1])

    def __exit__(self, *exc):
        self.chromium.kill()
        self.chromium.wait()
        self.server.shutdown()
        shutil.rmtree(self.profile, ignore_errors=True)

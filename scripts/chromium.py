"""Debian's headless Chromium on a folder served from loopback, driven through the DevTools protocol: web.sh's play
test uses it, and so can a maintainer who wants a page's screenshot. Use: with Browser(folder) as page: ..."""
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


class Page:
    def __init__(self, url, port):
        self.ws, self.next_id, self.port, self.touch = websocket.create_connection(url, timeout=60), 0, port, False

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
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=3, mobile=True)
        self.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.touch = True

    def screenshot(self):
        return base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])


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

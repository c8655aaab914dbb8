"""Loads the browser build as a player would, from a static host that keeps the page's _headers and serves the brotli
copies: the page's size, progress that moves on a slow phone's network and スタート within 16 s, an installable
page, a game offline after one visit with its saved settings, an update to the next version served at the same
address where no document mixes the two builds' files and the saved settings hold, and the same source built twice
giving the same page. Prints the figures. Usage: web_load.py SITE NEXT_SITE SITE_AGAIN SHOTS_FOLDER"""
import base64, hashlib, pathlib, re, statistics, sys, urllib.parse  # noqa: E401

import web_play as play
from chromium import Browser, Site, poll as wait  # noqa: E402 (web_play puts scripts/ on the path)

site, next_site, again, shots = (pathlib.Path(arg) for arg in sys.argv[1:5])
WASM_LIMIT, START_LIMIT = 2_500_000, 16
# Lighthouse's phone: 150 ms round trip, 1.6 Mbit/s down, 750 kbit/s up, a CPU four times slower.
PHONE = {"latency": 150, "downloadThroughput": 1.6e6 / 8, "uploadThroughput": 750e3 / 8}


def fail(why):
    if play.page:
        play.shot("failure")
    sys.exit("web_load: " + why)


def digests(folder):
    return {str(p.relative_to(folder)): hashlib.sha256(p.read_bytes()).hexdigest()
            for p in sorted(folder.rglob("*")) if p.is_file()}


class Host(Site):
    """A static host as a CDN would serve the site: the rules of its _headers, brotli copies to a browser that
    takes them, revalidation by ETag. It serves Host.site, counts the bytes it sends, and while Host.down it
    answers nothing, as a phone without a network."""
    site, down, sent = site, False, 0
    extensions_map = {**Site.extensions_map, ".webmanifest": "application/manifest+json", ".png": "image/png"}

    def __init__(self, *args, directory=None, **kwargs):
        super().__init__(*args, directory=str(Host.site), **kwargs)

    def send_head(self):
        path = urllib.parse.urlparse(self.path).path
        file = Host.site / (path.lstrip("/") or "index.html")
        if Host.down or not file.is_file():
            self.close_connection = Host.down
            return None if Host.down else super().send_head()
        brotli = "br" in self.headers.get("Accept-Encoding", "") and file.with_name(file.name + ".br").is_file()
        body = file.with_name(file.name + ".br") if brotli else file
        tag = '"%x"' % body.stat().st_mtime_ns
        self.send_response(304 if self.headers.get("If-None-Match") == tag else 200)
        self.send_header("ETag", tag)
        self.send_header("Vary", "Accept-Encoding")
        rules, match = {}, False
        for line in (Host.site / "_headers").read_text().splitlines():
            if line.startswith("/"):
                match = path == line or line.endswith("*") and path.startswith(line[:-1])
            elif match and ":" in line:
                rules.update([map(str.strip, line.split(":", 1))])
        for name, value in {"Content-Type": self.guess_type(str(file)), **rules}.items():
            self.send_header(name, value)
        if self.headers.get("If-None-Match") == tag:
            self.end_headers()
            return None
        if brotli:
            self.send_header("Content-Encoding", "br")
        self.send_header("Content-Length", str(body.stat().st_size))
        self.end_headers()
        Host.sent += body.stat().st_size
        return open(body, "rb")


def visit(timeout=20):
    """Opens the page; returns the first frame's time and, for each document shown, the builds whose files it was
    served (by content), the last document's last."""
    page.events.clear()
    page.call("Page.navigate", url=f"{origin}/index.html")
    first = play.game_shown(timeout)
    documents = {}
    for event in page.events:
        response = event["params"].get("response", {})
        path = urllib.parse.urlparse(response.get("url", "")).path.lstrip("/") or "index.html"
        if event["method"] != "Network.responseReceived" or not response["url"].startswith("http") or \
                path == "sw.js":
            continue
        body = page.call("Network.getResponseBody", requestId=event["params"]["requestId"])
        data = base64.b64decode(body["body"]) if body["base64Encoded"] else body["body"].encode()
        documents.setdefault(event["params"]["loaderId"], {})[path] = hashlib.sha256(data).hexdigest()
    builds = [{name for name, files in builds_by_name.items() if all(files.get(p) == h for p, h in served.items())}
              for served in documents.values()]
    if not all(builds):
        fail(f"a document was served files of two builds: {list(documents.values())}")
    return first, builds


def forget():
    """A browser that has never seen the page."""
    page.call("Storage.clearDataForOrigin", origin=origin, storageTypes="all")
    page.call("Network.clearBrowserCache")


def kept(folder):
    """Waits for the service worker to keep that folder's version and serve it."""
    version = re.search(r'const version = "(\w+)"', (folder / "sw.js").read_text())[1]
    play.poll(lambda: page.js(f"""navigator.serviceWorker.getRegistration().then(async r =>
        r?.active?.state === 'activated' && (await caches.keys()).some(name => name.endsWith(' {version}')))"""),
        f"{folder.name} kept by the service worker", 30)


def version_shown():
    play.press("バージョン")
    text = play.poll(lambda: play.find(name="lblVersion"), "version")[0]["text"]
    play.press("OK")
    return text


def question_lasts(seconds):
    play.start()
    length = play.question()[1]
    if abs(length - seconds) > 0.1:
        fail(f"a {seconds} s question lasted {length:.3f} s")


if digests(site) != digests(again):
    fail(f"two builds of the same source differ in {sorted(set(digests(site).items()) ^ set(digests(again).items()))}")
builds_by_name = {"this": digests(site), "next": digests(next_site)}
wasm_br = next(site.glob("assets/qelo.*.wasm.br")).stat().st_size
print(f"qelo.wasm with brotli: {wasm_br} bytes")
if wasm_br > WASM_LIMIT:
    fail(f"qelo.wasm takes {wasm_br} bytes with brotli, more than {WASM_LIMIT}")
# Every file once, as the host sends it: what a first visit may cost at most, the worker's copies included.
once = sum((f.with_name(f.name + ".br") if f.with_name(f.name + ".br").exists() else f).stat().st_size
           for f in site.rglob("*") if f.is_file() and f.suffix not in (".br", ".gz") and f.name != "_headers")

times = {"fresh": [], "throttled": [], "repeat": [], "offline": []}
with Browser(str(site), Host) as page:
    play.page, play.shots, origin = page, shots, f"http://127.0.0.1:{page.port}"
    page.call("Page.enable")
    page.call("Network.enable", maxTotalBufferSize=200_000_000, maxResourceBufferSize=50_000_000)
    for run in range(3):
        forget()
        page.call("Network.emulateNetworkConditions", offline=False, **PHONE)
        page.call("Emulation.setCPUThrottlingRate", rate=4)
        page.call("Page.navigate", url=f"{origin}/index.html")
        shown = []
        for low, high in ((5, 40), (50, 90)):
            percent = play.poll(lambda: low <= (page.js("+document.getElementById('bar')?.ariaValueNow") or 0) < high
                                and page.js("document.getElementById('amount').textContent"), f"{low} %", 30)
            shown.append((percent, page.screenshot()))
        if shown[0][0] == shown[1][0] or shown[0][1] == shown[1][1]:
            fail("the progress did not move while the game downloaded")
        times["throttled"].append(play.game_shown(30))
        if run == 0:
            for number, (_, png) in enumerate(shown, 1):
                (shots / f"loading-{number}.png").write_bytes(png)
            play.shot("loaded-on-a-phone-network")
            print(f"Progress shown while loading on a phone's network: {shown[0][0]}, then {shown[1][0]}")
        play.poll(lambda: play.find("スタート"), "スタート")
    page.call("Network.emulateNetworkConditions", offline=False, latency=0, downloadThroughput=-1,
              uploadThroughput=-1)
    page.call("Emulation.setCPUThrottlingRate", rate=1)

    for run in range(3):
        forget()
        Host.sent = 0
        first, builds = visit()
        times["fresh"].append(first)
        kept(site)
    print(f"First visit: {Host.sent} bytes sent, the service worker's copies included (every file once: {once})")
    if Host.sent > once:
        fail(f"the first visit took {Host.sent} bytes, more than the page's files once ({once})")
    errors = []
    wait(lambda: not errors.append(page.call("Page.getInstallabilityErrors")["installabilityErrors"]) and
         errors[-1] == [], "installable page", 20, lambda: print(f"Installability errors: {errors[-1]}"))
    play.keep_view_time("1")
    version = version_shown()
    for run in range(3):
        times["repeat"].append(visit()[0])

    Host.down = True
    for run in range(3):
        first, builds = visit()
        times["offline"].append(first)
    question_lasts(1)
    play.turn(lambda symbols: symbols, "正解", play.BLUE, play.RED)
    play.shot("offline")

    # The host moves on to the next version: the visit that finds it still plays this one, and goes on playing it
    # while the worker keeps the next; the next start is the next version, with the settings kept.
    Host.down, Host.site = False, next_site
    first, builds = visit()
    if builds != [{"this"}]:
        fail(f"the visit after the update ran {builds}, not the version it had kept")
    kept(next_site)
    question_lasts(1)
    play.turn(lambda symbols: symbols, "正解", play.BLUE, play.RED)
    first, builds = visit()
    if builds[-1] != {"next"}:
        fail(f"the start after the update ran {builds}, not the next version")
    if (shown_next := version_shown()) == version:
        fail(f"the next version's start shows {shown_next}, as the old one did")
    question_lasts(1)
    play.shot("updated")
    print(f"Updated from {version} to {shown_next} at the next start, documents served by {builds}")

for kind, values in times.items():
    print(f"First frame with スタート, {kind}: {min(values):.2f} / {statistics.median(values):.2f} / "
          f"{max(values):.2f} s (min / median / max of 3)")
if max(times["throttled"]) > START_LIMIT:
    fail(f"スタート took {max(times['throttled']):.1f} s on a phone's network, more than {START_LIMIT} s")
print("Loaded in headless Chromium: progress, installable, offline, an update at the next start, same bytes")

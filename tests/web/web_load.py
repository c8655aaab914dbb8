"""Loads the page as players would (docs/testing.md); prints the figures. Usage: web_load.py SITE NEXT AGAIN SHOTS"""
import hashlib, pathlib, re, statistics, sys  # noqa: E401

import web_play as play
from chromium import Browser, Site, poll as wait  # noqa: E402 (web_play puts scripts/ on the path)

site, next_site, again, play.shots = (pathlib.Path(arg) for arg in sys.argv[1:5])
play.shots.mkdir(parents=True, exist_ok=True)


def fail(why):
    play.shot("failure")
    sys.exit("web_load: " + why)


def digests(folder):
    return {str(p.relative_to(folder)): hashlib.sha256(p.read_bytes()).hexdigest()
            for p in folder.rglob("*") if p.is_file()}


# Opens the page: the first frame's time, and the builds whose files (by content; the worker aside) it was served.
def visit():
    page.events.clear()
    page.call("Page.navigate", url=f"{origin}/index.html")
    first, served = page.game_shown(), {p: h for p, h in page.served().items() if p != "sw.js"}
    builds = {name for name, files in builds_by_name.items() if all(files.get(p) == h for p, h in served.items())}
    return first, builds or fail(f"one visit was served files of two builds: {served}")


# Waits for the service worker to keep that folder's version and serve it.
def kept(folder):
    version = re.search(r'const version = "(\w+)"', (folder / "sw.js").read_text())[1]
    page.poll(lambda: page.js(f"""navigator.serviceWorker.getRegistration().then(async r => r?.active?.state ===
        'activated' && (await caches.keys()).some(name => name.endsWith(' {version}')))"""), f"{folder} kept", 30)


def version_shown():
    page.press("バージョン")
    text = page.poll(lambda: page.find(name="lblVersion"), "version")[0]["text"]
    page.press("OK")
    return text


if digests(site) != digests(again):
    sys.exit(f"web_load: two builds of the same source differ: {set(digests(site).items()) ^ set(digests(again).items())}")
builds_by_name = {"this": digests(site), "next": digests(next_site)}
if (wasm := next(site.glob("assets/qelo.*.wasm.br")).stat().st_size) > 2_500_000:
    sys.exit(f"web_load: qelo.wasm takes {wasm} bytes with brotli, more than 2.5 MB")
# What the first visit may cost, the service worker's copies included: every file as the host sends it, those under
# assets/ once, the others twice (the worker asks for them anew).
once = sum((f.with_name(f.name + ".br") if f.with_name(f.name + ".br").exists() else f).stat().st_size *
           (1 if f.parent.name == "assets" else 2) for f in site.rglob("*") if f.suffix not in (".br", ".gz", "")
           and f.name != "_headers")

times = {"fresh": [], "throttled": [], "repeat": [], "offline": []}
with Browser(site) as page:
    play.page, origin = page, f"http://127.0.0.1:{page.port}"
    page.call("Page.enable")
    page.call("Network.enable", maxTotalBufferSize=200_000_000, maxResourceBufferSize=50_000_000)
    for run, speed in enumerate(["throttled"] * 3 + ["fresh"] * 3):
        page.call("Storage.clearDataForOrigin", origin=origin, storageTypes="all")
        page.call("Network.clearBrowserCache")
        page.throttle(speed == "throttled")
        Site.sent = 0
        page.call("Page.navigate", url=f"{origin}/index.html")
        # Two screenshots during the download, the second once the number has moved by a third of the whole.
        shown = [page.poll(lambda: low <= (page.js("+document.getElementById('bar')?.ariaValueNow") or 0) < low + 40
                           and (page.js("document.getElementById('amount').textContent"), page.screenshot()),
                           f"{low} % downloaded", 30) for low in ((5, 50) if speed == "throttled" else ())]
        if any(a == b for a, b in zip(*shown)):
            fail(f"the progress did not move while the game downloaded: {shown[0][0]}, then {shown[1][0]}")
        for number, (text, png) in enumerate(shown if run == 0 else []):
            (play.shots / f"loading-{number + 1}.png").write_bytes(png)
            print(f"Shown while loading on a phone's network: {text}")
        times[speed].append(page.game_shown(30))
        page.poll(lambda: page.find("スタート"), "スタート")
    kept(site)
    print(f"First visit: {Site.sent} bytes sent, the service worker's copies included (at most {once})")
    if Site.sent > once:
        fail("the first visit fetched some files twice")
    installable = lambda: page.call("Page.getInstallabilityErrors")["installabilityErrors"]  # noqa: E731
    wait(lambda: not installable(), "installable page", 20, lambda: print(f"Not installable: {installable()}"))
    play.keep_view_time("1")
    version = version_shown()
    times["repeat"] = [visit()[0] for _ in range(3)]
    Site.down = True
    times["offline"] = [visit()[0] for _ in range(3)]
    play.question_lasts(1)
    play.turn(lambda symbols: symbols, "正解", play.BLUE, play.RED)

    # The host moves on: the visit that finds the next version plays on with its own while the worker keeps the
    # next one, and the start after it is the next version, with the settings kept.
    Site.down, Site.folder = False, next_site
    if (builds := visit()[1]) != {"this"}:
        fail(f"the visit that found the next version ran {builds}")
    kept(next_site)
    play.question_lasts(1)
    play.turn(lambda symbols: symbols, "正解", play.BLUE, play.RED)
    if (builds := visit()[1]) != {"next"} or (shown := version_shown()) == version:
        fail(f"the start after the next version was kept ran {builds}")
    play.question_lasts(1)
    print(f"Updated from {version} to {shown} at the next start")

for kind, values in times.items():
    print(f"スタート shown, {kind}: {min(values):.2f} / {statistics.median(values):.2f} / {max(values):.2f} s")
if max(times["throttled"]) > 16:
    sys.exit(f"web_load: スタート took {max(times['throttled']):.1f} s on a phone's network, more than 16 s")

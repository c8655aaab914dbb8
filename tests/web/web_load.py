"""Loads the page as players would, in Chromium (docs/testing.md); prints the figures.
Usage: web_load.py SITE NEXT AGAIN SHOTS"""
import hashlib, pathlib, statistics, sys  # noqa: E401

from browsers import BLUE, RED, Site, open_browser, poll

site, next_site, again, shots = (pathlib.Path(arg) for arg in sys.argv[1:5])
shots.mkdir(parents=True, exist_ok=True)


def digests(folder):
    return {str(p.relative_to(folder)): hashlib.sha256(p.read_bytes()).hexdigest()
            for p in folder.rglob("*") if p.is_file()}


def visit():
    """Opens the page: the first frame's time, and the builds whose files (by content; the worker aside) it was
    served."""
    page.driver.get_log("performance")  # what earlier visits were sent
    page.cdp("Page.navigate", url=f"{origin}/index.html")
    first, served = page.game_shown(), {p: h for p, h in page.served().items() if p != "sw.js"}
    builds = {name for name, files in builds_by_name.items() if all(files.get(p) == h for p, h in served.items())}
    return first, builds or page.fail(f"one visit was served files of two builds: {served}")


def right_turn():
    page.start()
    page.turn(lambda symbols: symbols, "正解", BLUE, RED, seconds=1)


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
with open_browser("chromium", site, shots) as page:
    origin = f"http://127.0.0.1:{page.port}"
    page.cdp("Network.enable", maxTotalBufferSize=200_000_000, maxResourceBufferSize=50_000_000)
    for run, speed in enumerate(["throttled"] * 3 + ["fresh"] * 3):
        page.cdp("Storage.clearDataForOrigin", origin=origin, storageTypes="all")
        page.cdp("Network.clearBrowserCache")
        page.throttle(speed == "throttled")
        Site.sent = 0
        page.cdp("Page.navigate", url=f"{origin}/index.html")
        # Two screenshots during the download, the second once the number has moved by a third of the whole.
        shown = [page.poll(lambda: low <= (page.js("+document.getElementById('bar')?.ariaValueNow") or 0) < low + 40
                           and (page.js("document.getElementById('amount').textContent"), page.png()),
                           f"{low} % downloaded", 30) for low in ((5, 50) if speed == "throttled" else ())]
        if any(a == b for a, b in zip(*shown)):
            page.fail(f"the progress did not move while the game downloaded: {shown[0][0]}, then {shown[1][0]}")
        for number, (text, png) in enumerate(shown if run == 0 else []):
            (shots / f"loading-{number + 1}.png").write_bytes(png)
            print(f"Shown while loading on a phone's network: {text}")
        times[speed].append(page.game_shown(30))
    page.kept(site)
    print(f"First visit: {Site.sent} bytes sent, the service worker's copies included (at most {once})")
    if Site.sent > once:
        page.fail("the first visit fetched some files twice")
    installable = lambda: page.cdp("Page.getInstallabilityErrors")["installabilityErrors"]  # noqa: E731
    poll(lambda: not installable(), "installable page", 20, lambda: print(f"Not installable: {installable()}"))
    page.keep_view_time("1")
    version = page.version_shown()
    times["repeat"] = [visit()[0] for _ in range(3)]
    Site.down = True
    times["offline"] = [visit()[0] for _ in range(3)]
    right_turn()

    # The host moves on: the visit that finds the next version plays on with its own while the worker keeps the
    # next one, and the start after it is the next version, with the settings kept.
    Site.down, Site.folder = False, next_site
    if (builds := visit()[1]) != {"this"}:
        page.fail(f"the visit that found the next version ran {builds}")
    page.kept(next_site)
    right_turn()
    if (builds := visit()[1]) != {"next"} or (shown := page.version_shown()) == version:
        page.fail(f"the start after the next version was kept ran {builds}")
    page.start()
    page.question_lasts(1)
    print(f"Updated from {version} to {shown} at the next start")

# Times are figures to read, not to pass or fail on: a busy machine is slower, not wrong.
for kind, values in times.items():
    print(f"スタート shown, {kind}: {min(values):.2f} / {statistics.median(values):.2f} / {max(values):.2f} s")

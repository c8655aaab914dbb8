"""Repeat and offline starts of the page on Lighthouse's phone (150 ms round trip, 1.6 Mbit/s down, CPU four times
slower), in headless Chromium: navigation to the first frame, min / median / max of RUNS; what the browser keeps of
the compiled game between visits shows here. Usage, where web.sh's tests run: web_repeat.py SITE SHOTS [RUNS]"""
import pathlib, statistics, sys  # noqa: E401

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "web"))
from browsers import Site, open_browser  # noqa: E402

site, shots = sys.argv[1:3]
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
with open_browser("chromium", site, shots) as page:
    page.open_game()
    page.kept(site)
    page.throttle(True)
    for kind in ("repeat", "offline"):
        Site.down = kind == "offline"
        times = [page.open_game() for _ in range(runs)]
        print(f"スタート shown, {kind}, throttled: {min(times):.2f} / {statistics.median(times):.2f} / {max(times):.2f} s")

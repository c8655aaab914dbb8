"""Plays the page with a mouse in one engine (docs/testing.md). Usage: web_play.py chromium|webkit|firefox SITE SHOTS"""
import sys

from browsers import BLUE, RED, Site, open_browser

engine, site, shots = sys.argv[1:4]
with open_browser(engine, site, shots) as page:
    print(f"First frame on a fresh profile in {engine}: {page.open_game():.2f} s")
    page.start()
    page.turn(lambda symbols: [symbols[0], "BS", *symbols], "正解", BLUE, RED, seconds=3)
    page.turn(lambda symbols: [*symbols[:-1], "BS"], "不正解", RED, BLUE)
    page.keep_view_time("1")
    page.kept(site)
    page.open_game()
    page.start()
    page.turn(lambda symbols: symbols, "正解", BLUE, RED, seconds=1)
    page.version_shown()
    # The host gone, the service worker starts the page, with the kept second.
    Site.down = True
    print(f"First frame offline, from the service worker: {page.open_game():.2f} s")
    page.start()
    page.question_lasts(1)
    Site.down = False
    if engine == "chromium":
        # A store the browser refuses is told to the player, as a failed save on the desktop.
        page.cdp("Page.addScriptToEvaluateOnNewDocument", source="""Storage.prototype.setItem = () => {
            throw new DOMException('the quota is used up', 'QuotaExceededError'); }""")
        page.open_game()
        page.press("設定")
        page.press("変更")
        page.poll(lambda: any("QuotaExceededError" in e["text"] for e in page.find()), "refused store")
        page.shot("refused")
        page.press(None, "QPushButton", within="qt_msgbox_label")
    page.press("終了")
    ended = "document.getElementById('message').innerText === 'qelo を終了しました。'"
    page.poll(lambda: page.js(ended), "end notice")
    page.shot("ended")
    print(f"Played in {engine}: turns, BS, settings kept across a reload, About, an offline start, 終了")

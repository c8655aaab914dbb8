"""Plays the page with a mouse (docs/testing.md); web_load.py uses its steps. Usage: web_play.py SITE_FOLDER SHOTS"""
import io, pathlib, sys  # noqa: E401

from PIL import Image

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "scripts"))
from chromium import Browser  # noqa: E402

page = shots = None
BLUE, RED = (0, 0, 255), (255, 0, 0)


def shot(name):
    shots.mkdir(parents=True, exist_ok=True)
    (shots / f"{name}.png").write_bytes(page.screenshot())


def colour_count(element, colour):
    scale = page.js("devicePixelRatio")
    x, y = element["x"] * scale, element["y"] * scale
    image = Image.open(io.BytesIO(page.screenshot())).convert("RGB")
    return list(image.crop((int(x - 40 * scale), int(y - 12 * scale), int(x + 40 * scale), int(y + 12 * scale)))
                .getdata()).count(colour)


def start():
    page.watch_question()
    page.press("スタート", "cmdStart")


def turn(answer, verdict, own, other):
    """Answers the next question with answer(its symbols) and checks the verdict's colour."""
    symbols, _ = page.question()
    page.enter(answer(symbols))
    label = page.poll(lambda: page.find(verdict, "lblAns"), verdict)[0]
    page.poll(lambda: colour_count(label, own) >= 20 and colour_count(label, other) == 0, f"{verdict} in {own}")
    shot(verdict)
    # The correct string stays shown under the verdict; the next question replaces it.
    page.watch_question()


def question_lasts(seconds):
    start()
    length = page.question()[1]
    print(f"A {seconds} s question lasted {length:.3f} s")
    if abs(length - seconds) > 0.1:
        sys.exit(f"web_play: a {seconds} s question lasted {length:.3f} s")


def keep_view_time(seconds):
    """Types the question's time into 設定 and keeps it with 変更."""
    page.press("設定")
    page.fill("cmbViewTime", seconds)
    shot("settings")
    page.press("変更")
    if page.find("変更"):
        sys.exit("web_play: the settings dialog stayed open after 変更")


def main():
    global page, shots
    shots = pathlib.Path(sys.argv[2])
    with Browser(sys.argv[1]) as page:
        page.on_failure = lambda: shot("failure")
        page.call("Page.enable")
        print(f"First frame on a fresh profile: {page.open_game():.2f} s")
        start()
        turn(lambda symbols: [symbols[0], "BS", *symbols], "正解", BLUE, RED)
        turn(lambda symbols: [*symbols[:-1], "BS"], "不正解", RED, BLUE)

        # A fresh store gives 3 s; 1 s kept with 変更 is web_load.py's, across a reload, offline and an update.
        page.call("Page.addScriptToEvaluateOnNewDocument", source="localStorage.clear()")
        page.open_game()
        question_lasts(3)

        # A store the browser refuses is told to the player, as a failed save on the desktop.
        page.call("Page.addScriptToEvaluateOnNewDocument", source="""Storage.prototype.setItem = () => {
            throw new DOMException('the quota is used up', 'QuotaExceededError'); }""")
        page.open_game()
        page.press("設定")
        page.press("変更")
        page.poll(lambda: any("QuotaExceededError" in e["text"] for e in page.find()), "refused store")
        shot("refused")
        page.press("OK")

        page.press("バージョン")
        page.poll(lambda: page.find("qelo"), "About dialog")
        shot("about")
        page.press("OK")
        page.press("終了")
        page.poll(lambda: page.js("document.getElementById('message').innerText") == "qelo を終了しました。",
                  "end notice")
        shot("ended")
        print("Played in headless Chromium: turns, BS, a fresh store, a refused store, About, 終了")


if __name__ == "__main__":
    main()

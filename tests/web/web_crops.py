"""Checks that the page draws every key's symbol, the captions, the verdict and both dialogs as recorded in
tests/web/crops/ (a build of Qt for the page with less in it must draw the same), control by control, since the keys'
places are drawn at random. Usage: web_crops.py SITE SHOTS [--record]"""
import io, pathlib, sys  # noqa: E401

from PIL import Image, ImageChops

from browsers import open_browser

CROPS = pathlib.Path(__file__).with_name("crops")
# A pixel counts as changed when a channel moved by more than this; a crop may have this share of them (a caret).
LEVELS, SHARE = 24, 0.01
site, shots, record = sys.argv[1], sys.argv[2], "--record" in sys.argv
changed = []


def crop(page, name, box):
    image = Image.open(io.BytesIO(page.png())).convert("RGB").crop(tuple(round(v) for v in box))
    path = CROPS / f"{name}.png"
    if record:
        CROPS.mkdir(exist_ok=True)
        image.save(path, optimize=True)
        return
    recorded = Image.open(path).convert("RGB")
    if recorded.size != image.size:
        return changed.append(f"{name}: {image.size} against {recorded.size}")
    moved = ImageChops.difference(image, recorded).convert("L").point(lambda v: 255 if v > LEVELS else 0)
    share = moved.histogram()[255] / (image.width * image.height)
    if share > SHARE:
        pathlib.Path(shots).mkdir(parents=True, exist_ok=True)
        image.save(pathlib.Path(shots) / f"{name}.png")
        changed.append(f"{name}: {share:.1%} of its pixels")


def control(page, name, text=None, within=None):
    element = page.poll(lambda: page.find(text, name, within), name)[0]
    crop(page, name if text is None else f"{name}-{ord(text[0]):04x}", (element["left"], element["top"],
                                                                        element["right"], element["bottom"]))


def window(page, name, inside):
    frame = page.poll(lambda: page.find(name=inside), name)[0]["frame"]
    crop(page, name, (frame["left"], frame["top"], frame["right"], frame["bottom"]))


with open_browser("chromium", site, shots) as page:
    page.open_game()
    control(page, "cmdStart")
    page.press("設定")
    page.fill("cmbKigouNum", "55")
    window(page, "settings", "cmbKigouNum")
    page.press("変更")
    page.poll(lambda: not page.find("変更"), "settings dialog closed")
    page.start()
    page.question()
    for symbol in page.keys():
        control(page, "lblKey", symbol)
    control(page, "cmdAns")
    control(page, "Command1")
    page.press("OK", "cmdAns")
    control(page, "lblAns", "不正解")
    page.press("バージョン")
    window(page, "about", "lblVersion")
if changed:
    raise SystemExit("drawn otherwise than recorded: " + "; ".join(changed))
print(f"{'Recorded' if record else 'Drawn as recorded:'} {len(list(CROPS.glob('*.png')))} crops")

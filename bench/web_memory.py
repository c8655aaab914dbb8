"""The page's memory (its WebAssembly memory's byteLength) at start and after 30 and 300 turns answered right, at a
tenth of a second for the question and a second for the verdict, in headless Chromium; prints the figures.
Usage, where web.sh's tests run: web_memory.py SITE_FOLDER SHOTS_FOLDER [TURNS...]"""
import pathlib, sys, time  # noqa: E401

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "web"))
from browsers import open_browser  # noqa: E402

# The page keeps no handle on the module's memory: one is noted as the module is instantiated.
KEEP_MEMORY = """for (const name of ['instantiate', 'instantiateStreaming']) {
    const original = WebAssembly[name];
    WebAssembly[name] = async (...args) => {
        const result = await original(...args), instance = result.instance || result;
        // The linker may have shortened the export's name: the memory is the export that is one.
        window.qeloMemory = Object.values(instance.exports).find(e => e instanceof WebAssembly.Memory);
        return result;
    };
}"""
site, shots = sys.argv[1:3]
marks = [int(turns) for turns in sys.argv[3:]] or [30, 300]
with open_browser("chromium", site, shots) as page:
    page.cdp("Page.addScriptToEvaluateOnNewDocument", source=KEEP_MEMORY)
    page.open_game()
    megabytes = lambda: page.js("window.qeloMemory.buffer.byteLength") / 2**20  # noqa: E731
    page.press("設定")
    page.fill("cmbViewTime", "0.1")
    page.fill("cmbViewAnsTime", "1")
    page.press("変更")
    page.poll(lambda: not page.find("変更"), "settings dialog closed")
    print(f"Memory at start: {megabytes():.1f} MiB")
    page.start()
    started = time.monotonic()
    for turn in range(1, max(marks) + 1):
        # The next question is the sign that the answer was taken; the verdict shows long enough to watch for it.
        page.enter(page.question()[0])
        page.watch_question()
        if turn in marks:
            print(f"Memory after {turn} turns: {megabytes():.1f} MiB ({time.monotonic() - started:.0f} s)")

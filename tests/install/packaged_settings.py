"""The packaged program keeps its settings in $XDG_CONFIG_HOME/qelo/qelo.ini only, never beside it, even where it could
(as root, in a folder of its own). deb_package.sh runs it inside scripts/xsession.sh: packaged_settings.py PROGRAM"""
import os, pathlib, struct, sys, tempfile  # noqa: E401

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "e2e"))
from qelo_driver import BUTTON, COMBO_BOX, DIALOG, MENU_ITEM, Qelo, click, find, fresh, poll, rect, run  # noqa: E402

os.environ["XDG_CONFIG_HOME"] = (config := tempfile.TemporaryDirectory(prefix="qelo-config-")).name
per_user = pathlib.Path(config.name, "qelo", "qelo.ini")
per_user.parent.mkdir()
per_user.write_bytes(struct.pack("<dhdh", 2.0, 25, 1.0, 30) + b"tail")  # a length that loading bounds to 20

BESIDE = struct.pack("<dhdh", 1.5, 3, 3.0, 55)
q = Qelo(sys.argv[1], BESIDE)
click(find(q.window, MENU_ITEM, "設定")[0])
dialog = poll(lambda: find(q.app, DIALOG, "設定"), "settings dialog")[0]
# From the top: 表示時間, 文字の長さ, 記号の種類, 正誤の表示時間, as the per-user file has them.
combos = sorted(find(dialog, COMBO_BOX), key=lambda combo: rect(combo)[1])
poll(lambda: [fresh(combo).get_name() for combo in combos] == ["2", "20", "30", "1"], "the per-user values")
click(find(dialog, BUTTON, "変更")[0])
poll(lambda: per_user.read_bytes() == struct.pack("<dhdh", 2.0, 20, 1.0, 30) + b"tail", "the per-user file saved")
assert q.ini.read_bytes() == BESIDE and len(list(q.ini.parent.iterdir())) == 2, "a file beside the program changed"
# The close box ends it as 終了 does: Alt+F4 is openbox's close, repeated while a key may reach no window yet.
poll(lambda: run("xdotool", "key", "alt+F4") is None or q.process.poll() == 0, "end by the close box, status 0")

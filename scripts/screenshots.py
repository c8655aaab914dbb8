"""Plays one turn of the real program and photographs it: start screen, question, keyboard, verdict.

Run by scripts/screenshots.sh inside scripts/xsession.sh with the system's python3 (it needs pyatspi); it drives the
program through the end-to-end tests' helpers. Usage: screenshots.py PROGRAM OUTPUT_FOLDER
"""
import pathlib
import struct
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from qelo_driver import BUTTON, LABEL, Qelo, click, find, poll, run  # noqa: E402


def shoot(path):
    """Captures the screen once two captures in a row agree, so that no half-painted frame is kept."""
    # The lower right corner stays free of keys and buttons, so nothing shows a hover there.
    width, height = run("xdotool", "getdisplaygeometry").split()
    run("xdotool", "mousemove", str(int(width) - 2), str(int(height) - 2))
    captures = [b""]

    def settled():
        captures.append(subprocess.run(["import", "-window", "root", "png:-"], check=True, capture_output=True).stdout)
        return captures[-1] == captures[-2]
    poll(settled, f"settled screen for {path}")
    path.write_bytes(captures[-1])
    print(f"screenshots: wrote {path}")


def main():
    program, output = sys.argv[1], pathlib.Path(sys.argv[2])
    output.mkdir(parents=True, exist_ok=True)
    # Long display times leave room to photograph the question and the verdict.
    q = Qelo(program, struct.pack("<dhdh", 10.0, 5, 10.0, 50))
    poll(q.maximised, "maximised window")
    start = poll(lambda: find(q.window, BUTTON, "スタート"), "start button")[0]
    shoot(output / "start.png")
    click(start)
    question = q.question(5)
    shoot(output / "question.png")
    keys = q.keyboard(50)
    q.enter(keys, question[:3])
    shoot(output / "keyboard.png")
    q.enter(keys, question[3:])
    click(find(q.window, BUTTON, "OK")[0])
    poll(lambda: find(q.window, LABEL, "正解"), "verdict 正解")
    shoot(output / "verdict.png")


if __name__ == "__main__":
    main()

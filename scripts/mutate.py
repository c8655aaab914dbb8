#!/usr/bin/env python3
"""Plants faults a player would notice into a scratch copy of qelo, one at a time, and reports which the tests catch.

Usage: scripts/mutate.py [--work DIR] [--only ID,ID] [--list]

The scratch copy (default /tmp/qelo-mutate) is the work tree as it stands, uncommitted changes included; it is kept
between runs so that each fault costs an incremental rebuild. Every fault is one text replacement in one file of
src/. The QtTest suites run first and stop at the first failure; only a fault they miss runs the rest of the suite.
A fault whose text no longer matches the sources is reported as stale, one that does not compile as invalid: both
mean the list needs mending, and neither counts.
"""

import argparse
import pathlib
import shutil
import subprocess
import sys

# (id, file under src/, text, replacement, what the player or user notices); where the sources have read
# differently over time, the text is a list of (text, replacement) pairs and the first that fits is planted.
FAULTS = [
    # app
    ("main-hidden", "app/main.cpp", "window.show();", "", "the window never appears"),
    # platform/AppInfo
    ("version", "platform/AppInfo.cpp", "return QELO_VERSION_MINOR;", "return QELO_VERSION_PATCH + 1;",
     "About shows a wrong version"),
    # platform/Controls
    ("dialog-resizable", "platform/Controls.cpp", "dialog->setFixedSize(clientSize);", "dialog->resize(clientSize);",
     "dialogs can be resized"),
    ("dialog-past-edge", "platform/Controls.cpp", "std::max(std::min(start, areaStart + areaLength - length), areaStart)",
     "std::max(start, areaStart)", "a dialog reaches past the window's right or bottom edge"),
    ("white-input", "platform/Controls.cpp", "control->setAutoFillBackground(true);", "",
     "the input line is not white"),
    # platform/Convert
    ("round-away", "platform/Convert.cpp", "std::nearbyint(value);", "std::round(value);",
     "typing 2.5 as the length stores 3, not 2"),
    ("no-saturate", "platform/Convert.cpp", "return std::numeric_limits<Int>::max();\n    return",
     "return std::numeric_limits<Int>::min();\n    return", "typing 99999 as the length stores 1, not 20"),
    ("bgr", "platform/Convert.cpp", "QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF))",
     "QColor(int((bgr >> 16) & 0xFF), int((bgr >> 8) & 0xFF), int(bgr & 0xFF))", "the verdicts swap blue and red"),
    # platform/Files
    ("tail-lost", "platform/Files.cpp", "content += previous.mid(head.size());", "content += QByteArray();",
     "a longer settings file loses its bytes after the record"),
    ("direct-write", "platform/Files.cpp", [("file.setDirectWriteFallback(true);", "file.setDirectWriteFallback(false);"),
     ("? writeInPlace(path, content) :", "? WriteResult{false, file.errorString()} :")], None,
     "a writable qelo.ini in a folder that refuses new files can no longer be saved"),
    ("full-disk", "platform/Files.cpp", [("if (!file.flush()) {", "if (false) {"),
     ("content.size() || !file.flush()) {", "content.size()) {")], None,
     "a full disk truncates the settings file and reports success"),
    ("fifo-opened", "platform/Files.cpp", [("    if (hasEntry(path) && !isExistingFile(path))\n        return {false, QStringLiteral(\"not a regular file\")};\n", ""),
     ("    if (!existing && hasEntry(path))\n        return {false, QStringLiteral(\"not a regular file\")};\n", "")],
     None, "a FIFO named qelo.ini hangs the game at 変更 or is replaced"),
    ("dir-is-file", "platform/Files.cpp", "return info.exists() && info.isFile();", "return info.exists();",
     "a folder named qelo.ini is read as the settings file"),
    # platform/FittingLabel
    ("press-elsewhere", "platform/FittingLabel.cpp", "const bool click = m_pressed && ", "const bool click = ",
     "a key counts a click whose press began elsewhere"),
    ("right-button", "platform/FittingLabel.cpp", "m_pressed = event->button() == Qt::LeftButton;",
     "m_pressed = true;", "a right-button click enters a symbol"),
    ("no-shrink", "platform/FittingLabel.cpp", "std::min<qreal>(scaleY, area.width() / ink.width())", "scaleY",
     "a symbol wider than its key is cut off"),
    ("tall-cut", "platform/FittingLabel.cpp", "std::min<qreal>(1.0, area.height() / ink.height())", "1.0",
     "a symbol taller than its key is cut off at the top and bottom"),
    # platform/OneShotTimer
    ("timer-half", "platform/OneShotTimer.cpp", "start();\n    // Linux", "start(interval() / 2);\n    // Linux",
     "the question stays half the display time"),
    ("coarse-timers", "platform/OneShotTimer.cpp", "timer->setTimerType(Qt::PreciseTimer);",
     "timer->setTimerType(Qt::CoarseTimer);", "a 3 s question may stay up to 150 ms too long or too short"),
    # platform/RandomSource
    ("same-question", "platform/RandomSource.cpp", "restartFrom(m_seedProvider());", "restartFrom(1);",
     "every question is the same"),
    ("unit-range", "platform/RandomSource.cpp", "float(bits >> 8) * 0x1p-24f", "float(bits >> 7) * 0x1p-24f",
     "draws reach 2, so keys land off the grid and symbols beyond the table are drawn"),
    ("top-rounds-up", "platform/RandomSource.cpp", "float(bits >> 8) * 0x1p-24f", "float(bits) * 0x1p-32f",
     "a rare draw reaches 1: a symbol beyond those in play is asked, or a key lands off its grid"),
    # platform/TouchStyle
    ("touch-menu-small", "platform/TouchStyle.cpp", "return natural.expandedTo(QSize(m_minimumTarget, m_minimumTarget));",
     "return natural;", "the menu's items are too small for a finger"),
    # platform/Twips
    ("twips-scale", "platform/Twips.cpp", "std::nearbyint(twips / PerPixel)", "std::nearbyint(twips / 16)",
     "every control is smaller than designed"),
    ("client-height", "platform/Twips.cpp", "return fromPixels(client->height());", "return fromPixels(client->width());",
     "questions and keys leave the window at the bottom"),
    # version
    # modules/mdlUser
    ("symbol-order", "modules/mdlUser.cpp", "u'☆', u'○', u'◎'", "u'○', u'☆', u'◎'", "the symbols come in the wrong order"),
    ("symbol-missing", "modules/mdlUser.cpp", "u'■', u'◆',", "u'■', u'◇',", "◆ is missing; ◇ appears twice"),
    ("lookup-from-1", "modules/mdlUser.cpp", "for (int i = 0; i < KigouCount; ++i) {\n        if (s ==",
     "for (int i = 1; i < KigouCount; ++i) {\n        if (s ==", "an answer with ☆ is always wrong"),
    ("field-order", "modules/mdlUser.cpp", "putDouble(bytes, opt.ViewTime);\n    putLittleEndian(bytes, quint16(opt.StringLen));",
     "putLittleEndian(bytes, quint16(opt.StringLen));\n    putDouble(bytes, opt.ViewTime);",
     "the settings file has its fields in the wrong order"),
    ("short-file", "modules/mdlUser.cpp", "if (bytes.size() < OptFileSize)", "if (bytes.size() < 2)",
     "a short settings file is read past its end"),
    ("len-bound", "modules/mdlUser.cpp", "std::clamp<qint16>(length, MinStringLen, MaxStringLen)",
     "std::clamp<qint16>(length, MinStringLen, MaxStringLen + 1)", "a length of 21 is accepted"),
    ("nan-time", "modules/mdlUser.cpp", "    if (std::isnan(seconds))\n        return fallback;\n", "",
     "a NaN time in the file stops the game"),
    ("load-unbounded", "modules/mdlUser.cpp", "    Opt = boundOpt(Opt);\n", "",
     "a hostile settings file is used unbounded"),
    ("no-per-user", "modules/mdlUser.cpp", "beside.error};\n    return writePerUser(files.perUser);",
     "beside.error};\n    return {beside.ok, files.besideProgram, beside.error};",
     "a system-wide install loses every setting"),
    ("package-beside", "modules/mdlUser.cpp", "if (perUserBuild || macOS)", "if (macOS)",
     "the Debian package writes qelo.ini under /usr when root plays, and shadows every player's settings"),
    ("bundle-beside", "modules/mdlUser.cpp", "if (perUserBuild || macOS)", "if (perUserBuild)",
     "a macOS build writes qelo.ini inside qelo.app and breaks its signature"),
    ("root-ini", "modules/mdlUser.cpp", "userFolder.isEmpty() ? QString() : userFolder + name", "userFolder + name",
     "without a home folder the settings are written at the file system's root"),
    ("ini-name", "modules/mdlUser.cpp", 'QStringLiteral("qelo.ini")', 'QStringLiteral("qelo.cfg")',
     "the settings file has the wrong name"),
    # forms/main/Fonts
    ("font-size", "forms/main/Fonts.h", "SymbolPointSize = 20.25", "SymbolPointSize = 12.0", "the symbols are small"),
    # forms/main/KeyLayout
    ("grid-edge", "forms/main/KeyLayout.cpp", "floorToInt32((clientWidth - keyWidth) / keyWidth)",
     "floorToInt32(clientWidth / keyWidth)", "keys touch the right edge of the window"),
    ("overlap", "forms/main/KeyLayout.cpp", [("} while (std::find(taken.begin(), taken.end(), cell) != taken.end());",
     "} while (false);"), ("} while (std::find(cells.begin(), cells.end(), cell) != cells.end());", "} while (false);")],
     None, "two keys share a cell"),
    ("small-hang", "forms/main/KeyLayout.cpp", "grid.rows = (keyCount + grid.columns - 1) / grid.columns;", "",
     "the game hangs on a small window"),
    ("rows-short", "forms/main/KeyLayout.cpp", "grid.rows = (keyCount + grid.columns - 1) / grid.columns;",
     "grid.rows = keyCount / grid.columns;", "the game hangs at the keyboard on a narrow, low window"),
    ("resize-right", "forms/main/KeyLayout.cpp", "if (cell.column >= inside.columns || cell.row >= inside.rows)",
     "if (cell.row >= inside.rows)", "keys off the right edge stay there after the window narrows"),
    ("resize-all", "forms/main/KeyLayout.cpp", "if (cell.column >= inside.columns || cell.row >= inside.rows)",
     "if (true)", "every key jumps elsewhere when the window changes size"),
    # forms/main/MainLayout
    ("touch-keys-small", "forms/main/MainLayout.cpp", "size > MinTarget; --size", "size > MinTarget / 2; --size",
     "on a small phone the keys are too small for a finger"),
    ("touch-frame-wide", "forms/main/MainLayout.cpp", "std::max(clientWidth, 4 * Gap", "std::max(clientWidth + 40, 4 * Gap",
     "OK lies past the right edge of a phone's screen"),
    ("touch-frame-narrow", "forms/main/MainLayout.cpp", "std::max(clientWidth, 4 * Gap",
     "std::max(clientWidth / 2, 4 * Gap", "on a phone the input line is a stub and OK sits mid-screen"),
    ("question-wide", "forms/main/MainLayout.cpp", "std::clamp(clientWidth / (std::max(length, 0) + 1), 1, std::max(keySize, 1))",
     "std::max(keySize, 1)", "a long question runs off a phone's screen"),
    ("touch-symbols-small", "forms/main/MainLayout.cpp", "Fonts::SymbolPointSize * cellHeight / DesignKey",
     "Fonts::SymbolPointSize", "the symbols stay small on finger-sized keys"),
    ("key-size", "forms/main/MainLayout.cpp", "layout.key = 375;", "layout.key = 405;",
     "the keys are larger than designed and leave their grid"),
    ("verdict-on-input", "forms/main/MainLayout.cpp", "{Gap, frameHeight + question + Gap,", "{Gap, Gap,",
     "on a phone the verdict covers the input line"),
    # forms/main/frmMain
    ("right-red", "forms/main/frmMain.cpp", " = 0xFF0000;", " = 0x0000FF;", "正解 shows in red"),
    ("verdict-swap", "forms/main/frmMain.cpp", 'right ? QStringLiteral("正解") : QStringLiteral("不正解")',
     'right ? QStringLiteral("不正解") : QStringLiteral("正解")', "the verdicts are swapped"),
    ("last-symbol", "forms/main/frmMain.cpp", "for (int i = 0; i < length; ++i) {\n            const qint16",
     "for (int i = 0; i < length - 1; ++i) {\n            const qint16", "a wrong last symbol is judged right"),
    ("frame-stays", "forms/main/frmMain.cpp", "    frameTable->hide();\n    m_random", "    m_random",
     "the input frame stays up during the question"),
    ("view-time", "forms/main/frmMain.cpp", "Convert::toInt32(Opt.ViewTime * 1000)", "Convert::toInt32(Opt.ViewTime * 100)",
     "the question flashes for a tenth of the display time"),
    ("input-kept", "forms/main/frmMain.cpp", "    lblInput->setText(QString());\n", "",
     "the last answer is still in the input line"),
    ("key-count", "forms/main/frmMain.cpp", [("const int count = AnsKigouNum;\n    m_cells",
     "const int count = AnsKigouNum - 1;\n    m_cells"), ("const int count = AnsKigouNum;\n    const std::vector",
     "const int count = AnsKigouNum - 1;\n    const std::vector"), ("const int count = boundKigouNum(Opt.KigouNum);\n"
     "    const std::vector", "const int count = boundKigouNum(Opt.KigouNum) - 1;\n    const std::vector")], None,
     "one symbol in play has no key"),
    ("turn-keys", "forms/main/frmMain.cpp", "const int count = AnsKigouNum;", "const int count = boundKigouNum(Opt.KigouNum);",
     "記号の種類 lowered in mid-turn hides keys the question needs"),
    ("grid-settings", "forms/main/frmMain.cpp", "AnsLen, AnsKigouNum,", "AnsLen, boundKigouNum(Opt.KigouNum),",
     "記号の種類 lowered in mid-turn on a small window freezes the game at the keyboard"),
    ("turn-length", "forms/main/frmMain.cpp", "const int length = AnsLen;", "const int length = boundStringLen(Opt.StringLen);",
     "文字の長さ changed in mid-turn judges the answer by the new length"),
    ("key-symbol", "forms/main/frmMain.cpp", "lblInput->text() + KigouTable[index]", "lblInput->text() + KigouTable[index + 1]",
     "a key enters its neighbour's symbol"),
    ("bs-first", "forms/main/frmMain.cpp", "text.chop(1);", "text.remove(0, 1);", "BS removes the first symbol"),
    ("keys-stay", "forms/main/frmMain.cpp", "        key->hide();\n    lblAns->show();", "    lblAns->show();",
     "the keys stay up during the verdict"),
    ("modeless", "forms/main/frmMain.cpp", [("    Controls::showModal(new frmOpt(this, m_pointer));",
     "    auto *dialog = new frmOpt(this, m_pointer);\n    dialog->setAttribute(Qt::WA_DeleteOnClose);\n    dialog->show();"),
     ("    Controls::showModal(new frmOpt(this));",
     "    auto *dialog = new frmOpt(this);\n    dialog->setAttribute(Qt::WA_DeleteOnClose);\n    dialog->show();")], None,
     "the main window takes clicks behind the settings dialog"),
    ("native-menu", "forms/main/frmMain.cpp", "    menuBar()->setNativeMenuBar(false);\n", "",
     "under a global menu bar 終了, 設定 and バージョン are gone"),
    ("restored-short", "forms/main/frmMain.cpp", "Twips::toPixels(DesignClientHeight) + menuBar()->sizeHint().height()",
     "Twips::toPixels(DesignClientHeight)", "the restored window's client area is too short"),
    ("key-names", "forms/main/frmMain.cpp", "    key->setAlignment(Qt::AlignCenter);\n",
     "    key->setAlignment(Qt::AlignCenter);\n    key->setAccessibleName(QString::number(index));\n",
     "screen readers no longer name the keys by their symbols"),
    ("question-cut", "forms/main/frmMain.cpp", "} else if (!lblData->isHidden()) {", "} else if (false) {",
     "a question shown as the phone turns lies off the screen"),
    ("resize-ignored", "forms/main/frmMain.cpp", "event->type() == QEvent::Resize", "event->type() == QEvent::Hide",
     "turning the phone in mid-turn leaves keys off the screen"),
    ("timers-survive", "forms/main/frmMain.cpp", "    timMain->setEnabled(false);\n    timSub->setEnabled(false);\n", "",
     "a timer armed at closing still fires"),
    # forms/settings/frmOpt
    ("time-lower", "forms/settings/frmOpt.cpp", "boundTime(Convert::leadingNumber(combo->currentText()), MinTime)",
     "Convert::leadingNumber(combo->currentText())", "a display time of 0 is stored"),
    ("len-trunc", "forms/settings/frmOpt.cpp", "return Convert::toInt16(Convert::leadingNumber(combo->currentText()));",
     "return qint16(Convert::leadingNumber(combo->currentText()));", "19.5 stores 19"),
    ("kigou-field", "forms/settings/frmOpt.cpp", "Opt.KigouNum = boundKigouNum(readInt16(cmbKigouNum));",
     "Opt.KigouNum = boundKigouNum(readInt16(cmbStringLen));", "記号の種類 takes the length's value"),
    ("no-save", "forms/settings/frmOpt.cpp", [("const Files::WriteResult saved = SaveOpt(path);",
     "const Files::WriteResult saved{true, {}};"), ("const SaveResult saved = SaveSettings(m_settingsFiles);",
     "const SaveResult saved{true, {}, {}};")], None, "変更 does not write the settings file"),
    ("esc-closes", "forms/settings/frmOpt.cpp", "if (event->matches(QKeySequence::Cancel)) {", "if (false) {",
     "Esc closes the settings dialog"),
    ("silent-fail", "forms/settings/frmOpt.cpp", "    if (!saved.ok)\n        reportSaveFailure",
     "    if (false)\n        reportSaveFailure", "a failed save is passed off as success"),
    ("touch-settings-small", "platform/Controls.cpp", "return pointer != Pointer::Touch && fitsIn",
     "return fitsIn", "設定's fields and buttons are too small for a finger"),
    ("typed-completed", "forms/settings/frmOpt.cpp", "    combo->setCompleter(nullptr);\n", "",
     "typing 1 as the display time stores 10"),
    # forms/about/frmAbout
    ("about-caption", "forms/about/frmAbout.cpp", 'title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報")', 'title + QStringLiteral(" のﾊﾞｰｼﾞｮﾝ情報")',
     "About's caption has a stray space"),
    ("about-unfitted", "forms/about/frmAbout.cpp", "    Controls::keepInside(this, m_area);\n", "",
     "About's OK lies off a turned phone's screen"),
    ("about-version", "forms/about/frmAbout.cpp", '"ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(major)', '"ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(major, 2, 10, QChar(u\'0\'))',
     "the version shows a leading zero"),
]


def run(command, cwd=None, quiet=True):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE if quiet else None,
                            stderr=subprocess.STDOUT if quiet else None, text=True)
    return result.returncode, (result.stdout or "")


def sync(source, work):
    """Copies the work tree's tracked files into the scratch copy, touching only what differs."""
    files = subprocess.run(["git", "ls-files", "-z"], cwd=source, check=True, stdout=subprocess.PIPE).stdout
    for name in filter(None, files.decode().split("\0")):
        src, dst = source / name, work / name
        if not src.is_file():
            continue
        if dst.is_file() and dst.read_bytes() == src.read_bytes():
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(src, dst)


def failed_tests(build):
    log = build / "Testing/Temporary/LastTestsFailed.log"
    return [line.split(":", 1)[1].strip() for line in log.read_text().splitlines()] if log.exists() else []


def run_suite(build):
    """Fast QtTest suites first; the rest only when they pass. Returns the failing tests."""
    _, listing = run(["ctest", "--test-dir", str(build), "-N"])
    names = [line.split(":", 1)[1].strip() for line in listing.splitlines() if line.strip().startswith("Test")
             and ":" in line]
    fast = [n for n in names if n.startswith("tst_")]
    slow = [n for n in names if n not in fast]
    (build / "Testing/Temporary/LastTestsFailed.log").unlink(missing_ok=True)
    for group in (fast, slow):
        if not group:
            continue
        code, _ = run(["ctest", "--test-dir", str(build), "--timeout", "300", "--stop-on-failure", "-j", "2",
                       "-R", "^(" + "|".join(group) + ")$"])
        if code:
            return failed_tests(build) or ["(ctest)"]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", default="/tmp/qelo-mutate", type=pathlib.Path)
    parser.add_argument("--only", default="", help="comma-separated fault ids")
    parser.add_argument("--list", action="store_true", help="print the faults and stop")
    args = parser.parse_args()

    faults = [f for f in FAULTS if not args.only or f[0] in args.only.split(",")]
    if args.list:
        for fault_id, file, _, _, notice in faults:
            print(f"{fault_id:16} src/{file}: {notice}")
        return 0

    source = pathlib.Path(__file__).resolve().parent.parent
    work, build = args.work / "tree", args.work / "build"
    sync(source, work)
    if not (build / "build.ninja").exists():
        code, out = run(["cmake", "-S", str(work), "-B", str(build), "-G", "Ninja",
                         "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DBUILD_TESTING=ON"])
        if code:
            sys.exit(out + "\nmutate.py: configuring the scratch copy failed")

    def build_ok():
        return run(["cmake", "--build", str(build), "--parallel", "2"])[0] == 0

    if not build_ok() or run_suite(build):
        sys.exit("mutate.py: the unchanged suite does not pass; fix that first")

    caught = counted = 0
    for fault_id, file, text, replacement, notice in faults:
        path = work / "src" / file
        original = path.read_text()
        fitting = [pair for pair in (text if isinstance(text, list) else [(text, replacement)])
                   if original.count(pair[0]) == 1]
        if not fitting:
            print(f"STALE    {fault_id:16} the text is not found exactly once in src/{file}", flush=True)
            continue
        path.write_text(original.replace(*fitting[0]))
        try:
            if not build_ok():
                print(f"INVALID  {fault_id:16} does not compile", flush=True)
                continue
            failing = run_suite(build)
        finally:
            path.write_text(original)
        counted += 1
        if failing:
            caught += 1
            print(f"caught   {fault_id:16} by {', '.join(failing)}", flush=True)
        else:
            print(f"MISSED   {fault_id:16} {notice}", flush=True)
    build_ok()
    print(f"\n{caught} of {counted} faults caught ({100 * caught / max(counted, 1):.0f}%)")
    return 0 if caught == counted else 1


if __name__ == "__main__":
    sys.exit(main())

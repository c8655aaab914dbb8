#!/usr/bin/env bash
# Builds qelo's benchmarks and runs them all in a private X session (Xvfb, openbox, D-Bus),
# then prints every figure. Nothing here passes or fails: the figures are for reading.
# Usage: bench/run.sh [RUNS]      RUNS start-ups of each program, interleaved (default 11).
# QELO_BENCH_BUILD_DIR picks the build folder (default build-bench), QELO_SCREEN the screen.
set -euo pipefail

root_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${QELO_BENCH_BUILD_DIR:-$root_dir/build-bench}"

if [ "${1:-}" != "--inside" ]; then
    runs="${1:-11}"
    cmake -S "$root_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${QELO_BUILD_TYPE:-RelWithDebInfo}" \
        -DQELO_BENCH=ON >/dev/null
    cmake --build "$build_dir" --parallel "$(nproc)" --target qelo bench_turns empty_window startup_probe
    echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'),"\
         "$(free -g | awk '/^Mem:/ {print $2}') GiB, $(uname -sr)"
    echo "Build: ${QELO_BUILD_TYPE:-RelWithDebInfo}, $(c++ --version | head -n 1), Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6)"
    export QELO_SCREEN="${QELO_SCREEN:-1920x1080x24}"
    echo "Display: Xvfb $QELO_SCREEN with openbox, platform plugin xcb"
    exec bash "$root_dir/scripts/xsession.sh" bash "${BASH_SOURCE[0]}" --inside "$runs"
fi

runs="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=xcb

echo
"$build_dir/bench/bench_turns" 2>/dev/null

# Both programs start from the same fresh folder. qelo's settings file there keeps a question
# up for 10 s, so that the CPU sample after the click falls inside the question.
cp "$build_dir/src/qelo" "$build_dir/bench/empty_window" "$work/"
printf '\x00\x00\x00\x00\x00\x00\x24\x40\x05\x00\x00\x00\x00\x00\x00\x00\x08\x40\x32\x00' >"$work/qelo.ini"
probe="$build_dir/bench/startup_probe"
# The start button's middle, in window pixels, below the menu bar.
start_button=60,55

echo
echo "Start-up to the first painted frame, peak memory and CPU: $runs runs of each, interleaved"
# One unmeasured start of each first, so that both meet warm file and font caches.
"$probe" -- "$work/empty_window" >/dev/null 2>&1
"$probe" -- "$work/qelo" >/dev/null 2>&1
for run in $(seq "$runs"); do
    if ((run % 2)); then order="empty qelo"; else order="qelo empty"; fi
    for program in $order; do
        if [ "$program" = qelo ]; then
            line=$("$probe" --click "$start_button" --sample 3000 --frame "$work/qelo-frame.ppm" -- "$work/qelo" 2>/dev/null)
        else
            line=$("$probe" --sample 3000 --frame "$work/empty-frame.ppm" -- "$work/empty_window" 2>/dev/null)
        fi
        echo "$program $line" | tee -a "$work/probes.txt" | sed 's/^/  /'
    done
done

python3 - "$work/probes.txt" <<'EOF'
import statistics, sys

runs = {"qelo": [], "empty": []}
for line in open(sys.argv[1]):
    program, *pairs = line.split()
    runs[program].append({k: float(v) for k, v in (p.split("=") for p in pairs)})

def median(program, key):
    return statistics.median(r[key] for r in runs[program])

def spread(program, key):
    values = [r[key] for r in runs[program]]
    return f"median {statistics.median(values):.1f}, min {min(values):.1f}, max {max(values):.1f}"

print()
print("Summary")
for key, label in (("first_frame_ms", "start-up to first painted frame, ms"), ("hwm_kib", "peak memory (VmHWM), KiB")):
    q, e = median("qelo", key), median("empty", key)
    print(f"  {label}: qelo {spread('qelo', key)}; empty window {spread('empty', key)}; ratio of medians {q / e:.2f}")
print(f"  qelo peak memory after the click and 3 s of question (VmHWM), KiB: {spread('qelo', 'hwm_after_kib')}")
for key, label in (("idle_cpu_pct", "CPU on the start screen, %"), ("idle_wakeups_per_s", "wake-ups on the start screen, /s"),
                   ("after_click_cpu_pct", "CPU while a question is shown, %"),
                   ("after_click_wakeups_per_s", "wake-ups while a question is shown, /s")):
    values = [r[key] for r in runs["qelo"]]
    print(f"  qelo {label}: median {statistics.median(values):.2f}, max {max(values):.2f}")
clicked = sum(int(r["clicked_changed_screen"]) for r in runs["qelo"])
print(f"  the click on the start button changed the screen in {clicked} of {len(runs['qelo'])} runs")
EOF

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
    cmake --build "$build_dir" --parallel "$(nproc)" --target qelo bench_turns empty_window floor_window startup_probe
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

# All programs start from the same fresh folder. qelo's settings file there keeps a question
# up for 10 s, so that the CPU sample after the click falls inside the question.
cp "$build_dir/src/qelo" "$build_dir/bench/empty_window" "$build_dir/bench/floor_window" "$work/"
printf '\x00\x00\x00\x00\x00\x00\x24\x40\x05\x00\x00\x00\x00\x00\x00\x00\x08\x40\x32\x00' >"$work/qelo.ini"
probe="$build_dir/bench/startup_probe"
# The start button's middle, in window pixels, below the menu bar.
start_button=60,55

# Instructions from launch until the program sits idle, counted by callgrind: unlike wall-clock
# time, stable to 0.1 %. Idle, a program executes nothing, so waiting past 8 s until it has had no
# CPU for a second (valgrind is slow on a busy machine) gives the count of its first 8 s.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file="$work/$1.callgrind" "$work/$1" >/dev/null 2>&1 &
    local pid=$! before=-1 now
    sleep 8
    while now=$(awk '{print $14 + $15}' "/proc/$pid/stat") && [ "$now" != "$before" ]; do before=$now; sleep 1; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" || true
    awk '/^summary:/ {print $2}' "$work/$1.callgrind"
}

echo
if command -v valgrind >/dev/null; then
    echo "Instructions from launch through the first 8 s (callgrind)"
    floor=$(instructions floor_window) qelo=$(instructions qelo) empty=$(instructions empty_window)
    awk -v f="$floor" -v q="$qelo" -v e="$empty" 'BEGIN {
        printf "  qelo %.1f M, the least first frame (floor_window) %.1f M, empty window %.1f M; qelo / floor %.3f\n",
               q / 1e6, f / 1e6, e / 1e6, q / f }'
else
    echo "valgrind is not installed: no instruction counts"
fi

echo
echo "Start-up to the first painted frame, peak memory and CPU: $runs runs of each, interleaved"
programs=(empty floor qelo)
# One unmeasured start of each first, so that all meet warm file and font caches.
for program in empty_window floor_window qelo; do "$probe" -- "$work/$program" >/dev/null 2>&1; done
for run in $(seq "$runs"); do
    for i in 0 1 2; do
        program=${programs[(run + i) % 3]}
        if [ "$program" = qelo ]; then
            line=$("$probe" --click "$start_button" --sample 3000 --frame "$work/qelo-frame.ppm" -- "$work/qelo" 2>/dev/null)
        else
            line=$("$probe" --sample 3000 --frame "$work/$program-frame.ppm" -- "$work/${program}_window" 2>/dev/null)
        fi
        echo "$program $line" | tee -a "$work/probes.txt" | sed 's/^/  /'
    done
done

python3 - "$work/probes.txt" <<'EOF'
import statistics, sys

runs = {"qelo": [], "floor": [], "empty": []}
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
    q, f, e = median("qelo", key), median("floor", key), median("empty", key)
    print(f"  {label}: qelo {spread('qelo', key)}; floor {spread('floor', key)}; empty window {spread('empty', key)};"
          f" ratios of medians qelo / floor {q / f:.2f}, qelo / empty {q / e:.2f}")
print(f"  qelo peak memory after the click and 3 s of question (VmHWM), KiB: {spread('qelo', 'hwm_after_kib')}")
for key, label in (("idle_cpu_pct", "CPU on the start screen, %"), ("idle_wakeups_per_s", "wake-ups on the start screen, /s"),
                   ("after_click_cpu_pct", "CPU while a question is shown, %"),
                   ("after_click_wakeups_per_s", "wake-ups while a question is shown, /s")):
    values = [r[key] for r in runs["qelo"]]
    print(f"  qelo {label}: median {statistics.median(values):.2f}, max {max(values):.2f}")
clicked = sum(int(r["clicked_changed_screen"]) for r in runs["qelo"])
print(f"  the click on the start button changed the screen in {clicked} of {len(runs['qelo'])} runs")
EOF

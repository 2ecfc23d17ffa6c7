#!/usr/bin/env bash
# Prints what Corvane costs on this machine:
# - one tick of the calibration core (Google Benchmark, bench preset): a tick
#   that saves nothing and a countdown step that saves the state file;
# - corvane.exe against two baselines built by the windows preset with the
#   same flags: a bare window program with a message loop and a timer, and a
#   bare tray program, the same window with a tray icon added once and sent
#   again on every tick, the calls a tray program makes when it does not keep
#   track of what the shell shows. Stripped file sizes, and under Wine
#   after 1,000 ticks the working set and the CPU time per tick, of the
#   program and of the Explorer that hosts the tray.
# All Windows programs come from one preset, the build Wine runs here:
# windows (i686, the shipped build) or windows-x86_64, so that corvane.exe is
# compared with baselines of its own architecture.
# Usage: bench.sh [PRESET]
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"
cd "$(dirname "$0")/.."
preset=${1:-windows}

cmake --preset bench
cmake --build --preset bench

work=$(mktemp -d build/bench/run.XXXXXX)
trap 'rm -rf "$work"; end_wine_session' EXIT

run_core_benchmarks() {
    local program
    program="$(pwd)/build/bench/tests/bench/tick_benchmark"
    echo "== Calibration core: cost of one PowerTick (state file in $work)"
    (cd "$work" && "$program")
}

run_windows_measurements() {
    local build figures_dir ticks=1000
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target corvane corvane-scripted bare-window bare-tray footprint
    build="$(pwd)/build/$preset"
    figures_dir=$(mktemp -d "$build/bench.XXXXXX")

    use_wine_prefix "$build/wineprefix-bench"
    start_private_display 800x600
    # All run the same way, in a desktop whose tray takes Corvane's icon. The
    # scripted build finds no reading in its fresh folder, so its ticks fail
    # before the tray update: the difference is what that update costs.
    local name program window_class
    for name in corvane bare-window bare-tray no-tray-update; do
        case "$name" in
            corvane) program="$build/shell/corvane.exe" window_class=CORVANE ;;
            bare-window | bare-tray) program="$build/tests/footprint/$name.exe" window_class=BARE_WINDOW ;;
            no-tray-update) program="$build/shell/corvane-scripted.exe" window_class=CORVANE ;;
        esac
        (cd "$figures_dir" && wine explorer /desktop=CorvaneBench,800x600 \
            "$build/tests/footprint/footprint.exe" "$(winepath -w "$program")" "$window_class" "$ticks" \
            >"$name.txt" 2>&1)
        wineserver -w
    done
    end_wine_session

    python3 - "$figures_dir" "$build/shell/corvane.exe" "$build/tests/footprint" "$ticks" <<'PY'
import os, struct, sys
folder, corvane, baselines, ticks = sys.argv[1:]
programs = {"corvane": corvane}
programs.update({name: os.path.join(baselines, name + ".exe") for name in ("bare-window", "bare-tray")})
def architecture(path):
    data = open(path, "rb").read()
    machine = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]
    return {0x14C: "i686", 0x8664: "x86_64"}.get(machine, hex(machine))
architectures = {architecture(path) for path in programs.values()}
assert len(architectures) == 1, f"programs of different architectures: {architectures}"
print(f"== corvane.exe against a bare window and a bare tray program, all {architectures.pop()} "
      f"(same flags, stripped; {ticks} ticks under Wine)")
def figures(name):
    line = open(os.path.join(folder, name + ".txt")).read().split("ticks=", 1)[1]
    return {k: float(v) for k, v in (pair.split("=") for pair in ("ticks=" + line).split())}
runs = {name: figures(name) for name in programs}
def per_tick(key):
    return {name: f[key] / f["ticks"] for name, f in runs.items()}
rows = [
    ("file size (bytes)", {name: os.path.getsize(path) for name, path in programs.items()}),
    ("working set after the ticks (KB)", {name: f["working_set_kb"] for name, f in runs.items()}),
    ("CPU per tick, program (ms)", per_tick("cpu_ms")),
    ("CPU per tick, tray host Explorer (ms)", per_tick("tray_host_cpu_ms")),
    ("wall time per tick (ms)", per_tick("elapsed_ms")),
]
ratio = lambda a, b: f"{a / b:8.2f}" if b else "     n/a"
print(f"{'':40} {'corvane.exe':>12} {'bare window':>12} {'bare tray':>12} {'x window':>8} {'x tray':>8}")
for label, v in rows:
    c, w, t = v["corvane"], v["bare-window"], v["bare-tray"]
    print(f"{label:40} {c:12.3f} {w:12.3f} {t:12.3f} {ratio(c, w)} {ratio(c, t)}")
n = figures("no-tray-update")
print(f"A tick whose reading fails, so that no tray update follows, costs {n['cpu_ms'] / n['ticks']:.3f} ms of CPU.")
print("corvane.exe calls the tray only when its icon changes, which a steady reading here never does;")
print("the bare tray program sends its icon on every tick, and what it costs is what that saves.")
print("CPU times come from /proc in steps of 10 ms over the whole run.")
PY
    rm -rf "$figures_dir"
}

run_core_benchmarks
run_windows_measurements

#!/usr/bin/env bash
# Benchmark of the program's start: time from starting a stamped copy (test build, against
# the local test server on loopback) to its configuration report, to the hand-over and to
# the download window, over several runs; beside it, for reference, the start of a Wine
# program that does nothing (wine cmd /c exit) and a curl fetch of the same document.
# Prints figures; nothing here is a pass/fail test.
#
#   scripts/bench/startup.sh [RUNS]     (default 5; needs a built tree: scripts/build.sh)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"
vexa_start_xvfb 120
trap 'wineserver -k >/dev/null 2>&1 || true; vexa_stop_xvfb' EXIT
vexa_warm_wine
vexa_export_fixture_paths
export BENCH_RUNS="${1:-5}"
python3 - <<'PY'
import os, statistics, subprocess, time
import harness as h
import fixture as f

runs = int(os.environ["BENCH_RUNS"])
folder = h.scratch_dir("bench_startup")
server = f.Server()
marks = ("report finished", "handover", "mode 0")
rows = []
try:
    package_id = h.new_package_id()
    f.publish(server, package_id, [("game.bin", b"b" * 100000)], skin=f.png(680, 420))
    url = server.url("/publish/tool/muldown/%s.html" % package_id)
    for run in range(runs):
        t0 = time.monotonic()
        subprocess.run(["wine", "cmd", "/c", "exit"], env=h.wine_env(), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wine_alone = time.monotonic() - t0
        t0 = time.monotonic()
        subprocess.run(["curl", "-s", "-o", "/dev/null", url], check=False)
        curl = time.monotonic() - t0

        program = f.Program(folder, "bench", package_id, server.host)
        seen = {}
        deadline = time.monotonic() + 120
        while len(seen) < len(marks) and time.monotonic() < deadline:
            lines = program.lines()
            for mark in marks:
                if mark not in seen and any(l.startswith(mark) for l in lines):
                    seen[mark] = time.monotonic()
            time.sleep(0.005)
        row = [wine_alone, curl] + [seen.get(m, float("nan")) - program.started for m in marks]
        rows.append(row)
        print("run %d: wine alone %.3f s, curl %.3f s | program: configuration read %.3f s, "
              "hand-over %.3f s, download window %.3f s" % (run + 1, *row), flush=True)
        program.quit()
        program.stop()
    cols = list(zip(*rows))
    print("median over %d runs: wine alone %.3f s, curl %.3f s | program: configuration read "
          "%.3f s, hand-over %.3f s (the bar's race %.3f s), download window %.3f s" % (
              runs, *(statistics.median(c) for c in cols[:3]), statistics.median(cols[3]),
              statistics.median([b - a for a, b in zip(cols[2], cols[3])]),
              statistics.median(cols[4])))
finally:
    server.stop()
PY

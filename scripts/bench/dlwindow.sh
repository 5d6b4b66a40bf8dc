#!/usr/bin/env bash
# Benchmark of the download window: one large file downloaded through the window (the real
# window, engine and progress timer, started by its download command) against p2sp-get on
# the same loopback test server, and the cost of one progress-timer tick and of one full
# repaint of the window. Prints figures; nothing here is a pass/fail test.
#
#   scripts/bench/dlwindow.sh          (needs a built tree: scripts/build.sh)
#   BENCH_SIZE_MB=512    size of the file
#   BENCH_ROUNDS=200     ticks and repaints timed
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"
vexa_start_xvfb 120
trap 'vexa_stop_xvfb' EXIT
vexa_warm_wine
vexa_export_fixture_paths
python3 - <<'PY'
import os, subprocess, time
import dlwindow_ids as ids
import harness as h
from fixture import Host, Server, to_unix, write_document

size = int(os.environ.get("BENCH_SIZE_MB", "512")) * 1048576
rounds = os.environ.get("BENCH_ROUNDS", "200")
build = os.environ["VEXA_BUILD_DIR"]
server = Server()
try:
    path = os.path.join(server.root, "files", "big.bin")
    os.makedirs(os.path.dirname(path))
    with open(path, "wb") as f:
        f.write(os.urandom(size))
    package_id = h.new_package_id()
    write_document(server, package_id, [size], [server.url("/files/big.bin")], game_name="Bench",
                   safecheck="0")

    out = os.path.join(server.root, "p2sp-get.bin")
    started = time.time()
    subprocess.run(["wine", build + "/win/tools/p2sp-get/p2sp-get.exe", "--engine",
                    "Z:" + (build + "/win/src/engine/VexaP2SP.dll").replace("/", "\\"), "--quiet",
                    server.url("/files/big.bin"), "Z:" + out.replace("/", "\\")],
                   env=h.wine_env(), check=True, stdout=subprocess.DEVNULL)
    tool_seconds = time.time() - started

    def window_run(name, package, *args):
        host = Host(os.path.join(server.root, name), package, server, "--answer",
                    "CInstallGameDlg:0", *args)
        host.start_window()
        host.wait_for("mode 0")
        started = time.time()
        host.command(ids.START)
        verified = host.wait_for("verified", 1200)
        seconds = time.time() - started
        bench = None
        if "--bench" in args:  # printed before or after the file ends
            bench = next((l for l in host.seen if l.startswith("bench ")), None)
            bench = bench or host.wait_for("bench ", 600)
        folder = to_unix([l for l in host.seen if l.startswith("path ")][-1][5:])
        host.quit()
        for name in ("big.bin", "big.bin.P2P", "big.bin.P2P.rec", "small.bin"):
            if os.path.exists(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))
        if os.path.isdir(folder) and not os.listdir(folder):
            os.rmdir(folder)
        if not verified:
            raise SystemExit("the window did not finish: %r" % host.seen[-20:])
        return seconds, bench

    window_seconds, _ = window_run("throughput", package_id)
    # Ticks and repaints are timed while a slowed download runs.
    small_id = h.new_package_id()
    server.put("/files/small.bin", os.urandom(8 * 1048576))
    write_document(server, small_id, [8 * 1048576], [server.url("/files/small.bin")],
                   game_name="Bench", safecheck="0")
    server.fault("/files/small.bin", "slow", rate=262144)
    _, bench = window_run("ticks", small_id, "--bench", rounds)
    mb = size / 1048576
    print("file               %d MiB" % mb)
    print("p2sp-get           %.2f s  %.1f MiB/s" % (tool_seconds, mb / tool_seconds))
    print("download window    %.2f s  %.1f MiB/s  (%.2fx p2sp-get)"
          % (window_seconds, mb / window_seconds, tool_seconds / window_seconds))
    _, _, tick, _, paint = bench.split()
    print("progress tick      %s us (mean of %s, during the transfer)" % (tick, rounds))
    print("full repaint       %s us (mean of %s)" % (paint, rounds))
finally:
    server.stop()
PY

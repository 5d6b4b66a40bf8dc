#!/usr/bin/env bash
# Bytes fetched again after a kill -9 in the middle of a download and a restart: the download
# window (the real window and engine, restored at its second start and resumed by its resume
# command) beside aria2c (killed at the same moment, restarted with --continue), both against
# the loopback test server slowed per connection. "Fetched again" is every body byte the
# server sent for the file over both runs minus the file's size. Prints figures; nothing
# here is a pass/fail test.
#
#   scripts/bench/restore_refetch.sh      (needs a built tree: scripts/build.sh)
#   BENCH_RUNS=10         kills
#   BENCH_SIZE_MB=32      size of the file
#   BENCH_RATE=500000     bytes per second per connection
#   BENCH_SEED=1          seed of the random kill moments
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"
vexa_start_xvfb 121
trap 'vexa_stop_xvfb' EXIT
vexa_warm_wine
vexa_export_fixture_paths
python3 - <<'PY'
import hashlib, os, random, shutil, statistics, subprocess, tempfile, time
import dlwindow_ids as ids
import harness as h
from fixture import Host, Server, write_document

runs = int(os.environ.get("BENCH_RUNS", "10"))
size = int(os.environ.get("BENCH_SIZE_MB", "32")) * 1048576
rate = int(os.environ.get("BENCH_RATE", "500000"))
moments = random.Random(int(os.environ.get("BENCH_SEED", "1")))
MiB = 1048576.0


def window_run(server, root, name, data, delay):
    package_id = h.new_package_id()
    write_document(server, package_id, [size], [server.url("/files/" + name)],
                   [hashlib.md5(data).hexdigest()], game_name="Bench")
    folder = os.path.join(root, "w-" + name)
    os.makedirs(folder)
    choose = ("--choose", h.windows_path(folder))
    host = Host(os.path.join(root, "exe-" + name), package_id, server, *choose)
    host.start_window()
    host.command(ids.CHANGE_FOLDER)
    host.wait_for("path ")
    host.command(ids.START)
    if not host.wait_for("mode 2", 120):
        raise SystemExit("no download: %r" % host.seen[-20:])
    time.sleep(delay)
    host.kill()
    before = server.bytes_sent("/files/" + name)
    again = Host(os.path.join(root, "exe-" + name), package_id, server,
                 "--answer", "CInstallGameDlg:0", *choose)
    again.start_window()
    restored = next(l for l in again.seen if l.startswith("restored "))
    if not restored.startswith("restored 1"):
        again.kill()
        return None
    again.command(ids.RESUME)
    if not again.wait_for("verified", 600):
        raise SystemExit("not finished: %r" % again.seen[-20:])
    again.quit()
    with open(os.path.join(folder, name), "rb") as f:
        if hashlib.md5(f.read()).hexdigest() != hashlib.md5(data).hexdigest():
            raise SystemExit("wrong MD5 after the resume")
    return server.bytes_sent("/files/" + name) - size, before / delay


def aria_run(server, root, name, data, delay):
    folder = os.path.join(root, "a-" + name)
    os.makedirs(folder)
    command = ["aria2c", "-q", "-x4", "-s4", "-k1M", "--file-allocation=none",
               "--auto-save-interval=1", "--continue=true", "-d", folder, "-o", name,
               server.url("/files/" + name)]
    first = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    if first.poll() is not None:
        return None
    first.kill()
    first.wait()
    before = server.bytes_sent("/files/" + name)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=900)
    with open(os.path.join(folder, name), "rb") as f:
        if f.read() != data:
            raise SystemExit("aria2c: wrong content after the resume")
    return server.bytes_sent("/files/" + name) - size, before / delay


server = Server()
root = tempfile.mkdtemp(prefix="refetch-", dir=os.path.join(os.environ["VEXA_ARTIFACTS"]))
window, aria = [], []
try:
    print("file %d MiB, %d B/s per connection, %d kills" % (size // 1048576, rate, runs))
    print("fetched again (speed before the kill)")
    print("%-4s %-8s %-26s %-26s" % ("run", "kill at", "download window", "aria2c -x4"))
    for run in range(runs):
        delay = moments.uniform(0.5, 4.0)
        data = os.urandom(size)
        results = []
        for kind, function in (("w", window_run), ("a", aria_run)):
            name = "r%d%s.bin" % (run, kind)
            server.put("/files/" + name, data)
            server.fault("/files/" + name, "slow", rate=rate)
            results.append(function(server, root, name, data, delay))
            server.clear_faults()
        if results[0] is not None:
            window.append(results[0][0])
        if results[1] is not None:
            aria.append(results[1][0])
        show = ["finished before the kill" if r is None
                else "%.2f MiB (%.1f MiB/s)" % (r[0] / MiB, r[1] / MiB) for r in results]
        print("%-4d %-8s %-26s %-26s" % (run + 1, "%.2f s" % delay, show[0], show[1]),
              flush=True)
    for label, figures in (("download window", window), ("aria2c", aria)):
        if figures:
            print("%-16s median %.2f MiB  max %.2f MiB  (%d runs)"
                  % (label, statistics.median(figures) / MiB, max(figures) / MiB, len(figures)))
finally:
    server.stop()
    shutil.rmtree(root, ignore_errors=True)
PY

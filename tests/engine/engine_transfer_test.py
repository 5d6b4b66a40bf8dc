#!/usr/bin/python3
"""The engine end to end: p2sp-get under Wine against the loopback fixture server.

Usage: engine_transfer_test.py P2SP_GET_EXE ENGINE_DLL [GROUP]
Needs the Wine environment of scripts/env.sh (taken from it when WINEPREFIX is unset).
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import wine_run  # noqa: E402

EXE, DLL = sys.argv[1], sys.argv[2]
TUNE = ("piece=262144;block=65536;stall_ms=2000;retry_base_ms=100;retry_max_ms=800;"
        "persist_ms=200;connect_ms=2000;late_ms=500")
MiB = 1024 * 1024


def wine_env():
    env = dict(os.environ)
    if "WINEPREFIX" not in env:
        out = subprocess.run(["bash", "-c", "source %s/scripts/env.sh; env -0" % ROOT],
                             capture_output=True, check=True).stdout
        for item in out.split(b"\0"):
            if b"=" in item:
                k, v = item.split(b"=", 1)
                env[k.decode()] = v.decode()
    return env


ENV = wine_env()


def winpath(p):
    return "Z:" + p.replace("/", "\\")


def md5(path):
    with open(path, "rb") as f:
        return hashlib.md5(f.read()).hexdigest()


class Fixture:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="vexa-engine-")
        self.data = os.path.join(self.dir, "data")
        self.out = os.path.join(self.dir, "out")
        os.makedirs(self.data)
        os.makedirs(self.out)
        self.server = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "engine_server.py"), self.data,
             "--lifetime", "500"], stdout=subprocess.PIPE, text=True)
        self.port = int(self.server.stdout.readline().split()[1])
        self.base = "http://127.0.0.1:%d" % self.port
        self.last = None  # the last program run, described when a case fails

    def make(self, name, size):
        path = os.path.join(self.data, name)
        with open(path, "wb") as f:
            f.write(os.urandom(size))
        return md5(path)

    def stats(self):
        with urllib.request.urlopen(self.base + "/ctl/stats") as r:
            return json.loads(r.read())

    def control(self, what):
        urllib.request.urlopen(self.base + "/ctl/" + what).read()

    def args(self, url, target, seeds="", tune=TUNE, extra=()):
        args = ["wine", EXE, "--engine", winpath(DLL), "--interval", "100", "--tune", tune]
        if seeds:
            args += ["--seeds", seeds]
        return args + list(extra) + [url, winpath(target)]

    def start(self, url, target, seeds="", tune=TUNE):
        """Starts p2sp-get beside the test; it is what a failing case reports on."""
        self.last = wine_run.Started(self.args(url, target, seeds, tune), env=ENV)
        return self.last

    def run(self, url, target, seeds="", tune=TUNE, extra=()):
        """Runs p2sp-get to its end; returns (exit code, output, the "final" line)."""
        self.last = wine_run.run(self.args(url, target, seeds, tune, extra), env=ENV)
        out = self.last.stdout
        final = [l for l in out.splitlines() if l.startswith("final")]
        return self.last.returncode, out, final[0] if final else ""

    def close(self):
        self.server.kill()
        self.server.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def field(line, name):
    for part in line.split():
        if part.startswith(name + "="):
            return float(part.split("=", 1)[1])
    return None


results = []


def case(fn):
    def wrapped(fx):
        fx.last = None
        t0 = time.monotonic()
        try:
            fn(fx)
            results.append((fn.__name__, None))
            print("PASS %s (%.1f s)" % (fn.__name__, time.monotonic() - t0), flush=True)
        except Exception as e:  # noqa: BLE001 - report every failure and go on
            results.append((fn.__name__, e))
            print("FAIL %s (%.1f s) %r" % (fn.__name__, time.monotonic() - t0, e), flush=True)
            if fx.last is not None:
                print(fx.last.describe(), flush=True)
    wrapped.__name__ = fn.__name__
    return wrapped


def check_progress(out):
    """Bytes done never go back and never pass the total; the total never changes."""
    last_done, total = 0, 0
    for line in out.splitlines():
        if not line.startswith("progress"):
            continue
        done, t = field(line, "done"), field(line, "total")
        if t:
            assert total in (0, t), "total changed"
            total = t
            assert done <= t, line
        assert done >= last_done, "done went back: " + line
        last_done = done


def expect_download(fx, mode, name, want, seeds="", restarts=False):
    """Downloads /MODE/NAME; unless the server forces a fresh start, progress never goes back."""
    target = os.path.join(fx.out, mode + "-" + name)
    rc, out, final = fx.run("%s/%s/%s" % (fx.base, mode, name), target, seeds)
    assert rc == 0, "exit %d: %s" % (rc, out[-500:])
    if not restarts:
        check_progress(out)
    assert md5(target) == want, "content differs"
    assert not os.path.exists(target + ".P2P"), "partial file left"
    assert not os.path.exists(target + ".P2P.rec"), "record left"
    return final


@case
def range_server_multi_connection(fx):
    want = fx.make("r.bin", 6 * MiB + 123)
    final = expect_download(fx, "r", "r.bin", want)
    assert field(final, "total") == 6 * MiB + 123


@case
def server_without_range_support_single_stream(fx):
    want = fx.make("n.bin", 3 * MiB + 7)
    expect_download(fx, "n", "n.bin", want)
    want = fx.make("nc.bin", 3 * MiB + 7)
    expect_download(fx, "ncut", "nc.bin", want, restarts=True)  # a broken stream starts over


@case
def chunked_reply_without_length(fx):
    want = fx.make("ck.bin", 3 * MiB + 11)
    expect_download(fx, "chunk", "ck.bin", want)
    want = fx.make("cc.bin", 3 * MiB + 11)
    expect_download(fx, "chunkcut", "cc.bin", want, restarts=True)


@case
def task_form_with_md5_and_stale_target_replaced(fx):
    want = fx.make("p.bin", 2 * MiB)
    target = os.path.join(fx.out, "p.bin")
    with open(target, "wb") as f:
        f.write(b"stale")
    rc, out, _ = fx.run("PDown://b7=1|%s/r/p.bin|h1=%s" % (fx.base, want.upper()), target)
    assert rc == 0 and md5(target) == want


@case
def reply_starting_early_is_never_written(fx):
    want = fx.make("e.bin", 4 * MiB)
    expect_download(fx, "early2", "e.bin", want)


@case
def not_found_fails_at_once(fx):
    target = os.path.join(fx.out, "missing.bin")
    rc, out, final = fx.run(fx.base + "/404/missing.bin", target)
    assert rc == 1 and field(final, "state") == 2, final
    # Measured by the program from the task's start, so a slow Wine start-up does not count;
    # retrying the way transient errors are retried would take far longer.
    assert field(final, "seconds") < 15, final
    assert not os.path.exists(target)


@case
def server_errors_then_success(fx):
    want = fx.make("s.bin", 2 * MiB)
    expect_download(fx, "e500x2", "s.bin", want)
    want = fx.make("b.bin", 2 * MiB)
    expect_download(fx, "busy1", "b.bin", want)


@case
def body_cut_short_and_reset_mid_piece(fx):
    want = fx.make("c.bin", 4 * MiB)
    expect_download(fx, "cut3", "c.bin", want)
    want = fx.make("x.bin", 4 * MiB)
    expect_download(fx, "reset3", "x.bin", want)


@case
def server_capping_each_reply(fx):
    want = fx.make("cp.bin", 5 * MiB + 3)
    expect_download(fx, "capped", "cp.bin", want)


@case
def redirect_is_followed(fx):
    want = fx.make("d.bin", 2 * MiB)
    expect_download(fx, "redir", "d.bin", want)


@case
def vanished_redirect_target_goes_back_to_the_link(fx):
    want = fx.make("h.bin", 4 * MiB)
    expect_download(fx, "hop", "h.bin", want)
    assert fx.stats().get("hop", 0) >= 2


@case
def empty_file(fx):
    want = fx.make("z.bin", 0)
    expect_download(fx, "r", "z.bin", want)


@case
def stalled_seed_beside_fast_origin(fx):
    want = fx.make("st.bin", 6 * MiB)
    final = expect_download(fx, "r", "st.bin", want, seeds=fx.base + "/stall")
    assert field(final, "seconds") < 30, final  # a stalled reply holds on for 60 s


@case
def seed_with_another_size_is_dropped(fx):
    want = fx.make("o.bin", 4 * MiB)
    expect_download(fx, "slow", "o.bin", want, seeds=fx.base + "/short")


@case
def pause_and_resume_in_one_process(fx):
    want = fx.make("pr.bin", 6 * MiB)
    target = os.path.join(fx.out, "pr.bin")
    rc, out, _ = fx.run(fx.base + "/slow/pr.bin", target, extra=["--pause-at", str(2 * MiB)])
    assert "paused stop=1" in out and "resumed start=1" in out, out[-400:]
    print("  StopTask took %s ms" % [l for l in out.splitlines() if "stop_ms" in l][0].split("stop_ms=")[1])
    assert md5(target) == want
    after = out.split("resumed start=1", 1)[1]
    first = [l for l in after.splitlines() if l.startswith("progress")][0]
    assert field(first, "done") >= 2 * MiB - 512 * 1024, "progress lost on pause: " + first


@case
def seed_carries_a_slow_origin(fx):
    want = fx.make("m.bin", 8 * MiB)
    expect_download(fx, "slow", "m.bin", want, seeds="%s/r | %s/404" % (fx.base, fx.base))
    stats = fx.stats()
    assert stats.get("bytes-r", 0) > 2 * MiB, stats


def start_and_kill(fx, url, target, min_done):
    """Starts a download and kills it with SIGKILL once `min_done` bytes are recorded."""
    p = fx.start(url, target)
    done = 0
    deadline = time.monotonic() + 240  # only against a hang: ctest's own limit says nothing
    try:
        for line in p.lines():
            if line.startswith("progress"):
                done = field(line, "done")
            if done >= min_done and os.path.exists(target + ".P2P.rec"):
                break
            assert time.monotonic() < deadline, "no %d bytes after 240 s" % min_done
    finally:
        p.close()  # SIGKILL: no chance to save anything on the way out
    assert done >= min_done, "ended before %d bytes" % min_done
    return done


@case
def killed_download_resumes_with_little_downloaded_again(fx):
    size = 8 * MiB
    want = fx.make("k.bin", size)
    target = os.path.join(fx.out, "k.bin")
    url = fx.base + "/slow/k.bin"
    before = fx.stats().get("bytes-slow", 0)
    start_and_kill(fx, url, target, 2 * MiB)
    assert os.path.exists(target + ".P2P") and os.path.exists(target + ".P2P.rec")
    first = fx.stats().get("bytes-slow", 0) - before
    rc, out, final = fx.run(url, target)
    assert rc == 0 and md5(target) == want, out[-300:]
    served = fx.stats().get("bytes-slow", 0) - before
    again = served - size
    print("  re-downloaded after kill: %d bytes (first run %d)" % (again, first))
    assert again < size / 2, again


@case
def file_changed_on_server_between_runs_starts_over(fx):
    fx.make("ch.bin", 8 * MiB)
    target = os.path.join(fx.out, "ch.bin")
    url = fx.base + "/slow/ch.bin"
    start_and_kill(fx, url, target, 2 * MiB)
    assert os.path.exists(target + ".P2P.rec")
    fx.control("change/ch.bin")
    want = md5(os.path.join(fx.data, "ch.bin"))
    rc, out, _ = fx.run(url, target)
    assert rc == 0 and md5(target) == want, "mixed versions or failed"


@case
def origin_that_keeps_changing_is_given_up(fx):
    fx.make("f.bin", 4 * MiB)
    target = os.path.join(fx.out, "f.bin")
    rc, out, final = fx.run(fx.base + "/flip/f.bin", target)
    assert rc == 1 and field(final, "state") == 2, final
    assert field(final, "seconds") < 30, final


@case
def damaged_record_is_discarded(fx):
    want = fx.make("dr.bin", 8 * MiB)
    target = os.path.join(fx.out, "dr.bin")
    url = fx.base + "/slow/dr.bin"
    start_and_kill(fx, url, target, 1 * MiB)
    with open(target + ".P2P.rec", "r+b") as f:
        f.seek(40)
        f.write(b"\xff\xff")
    with open(target + ".P2P", "r+b") as f:
        f.write(b"\0" * 65536)  # data the damaged record would have vouched for
    rc, out, _ = fx.run(url, target)
    assert rc == 0 and md5(target) == want


@case
def unwritable_folder_is_a_file_error(fx):
    blocker = os.path.join(fx.out, "not-a-folder")
    with open(blocker, "wb") as f:
        f.write(b"x")
    fx.make("u.bin", 65536)
    rc, out, final = fx.run(fx.base + "/r/u.bin", os.path.join(blocker, "u.bin"))
    assert rc == 1 and field(final, "state") == 3, final


def main():
    group = sys.argv[3] if len(sys.argv) > 3 else None
    names = GROUPS[group] if group else [n for g in GROUPS.values() for n in g]
    fx = Fixture()
    try:
        for name in names:
            globals()[name](fx)
    finally:
        fx.close()
    failed = sum(1 for _, e in results if e)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


# Groups run as separate tests so each stays short and they can run side by side.
GROUPS = {
    "sources": [
        "range_server_multi_connection", "server_without_range_support_single_stream",
        "chunked_reply_without_length", "task_form_with_md5_and_stale_target_replaced", "empty_file", "server_capping_each_reply",
        "redirect_is_followed", "vanished_redirect_target_goes_back_to_the_link",
        "unwritable_folder_is_a_file_error",
    ],
    "faults": [
        "reply_starting_early_is_never_written", "not_found_fails_at_once",
        "server_errors_then_success", "body_cut_short_and_reset_mid_piece",
        "stalled_seed_beside_fast_origin", "seed_with_another_size_is_dropped",
        "seed_carries_a_slow_origin",
    ],
    "resume": [
        "pause_and_resume_in_one_process", "killed_download_resumes_with_little_downloaded_again",
        "file_changed_on_server_between_runs_starts_over", "damaged_record_is_discarded",
        "origin_that_keeps_changing_is_given_up",
    ],
}

if __name__ == "__main__":
    sys.exit(main())

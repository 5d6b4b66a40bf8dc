#!/usr/bin/python3
"""The engine end to end: p2sp-get under Wine against the loopback fixture server.

Usage: engine_transfer_test.py P2SP_GET_EXE ENGINE_DLL [GROUP]
Needs the Wine environment of scripts/env.sh (taken from it when WINEPREFIX is unset).
"""
import contextlib
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
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
    def __init__(self, host="127.0.0.1", server_prefix=(), client_prefix=()):
        self.dir = tempfile.mkdtemp(prefix="vexa-engine-")
        self.data = os.path.join(self.dir, "data")
        self.out = os.path.join(self.dir, "out")
        os.makedirs(self.data)
        os.makedirs(self.out)
        self.client_prefix = list(client_prefix)
        self.env = ENV
        self.server = subprocess.Popen(
            list(server_prefix) + [sys.executable, os.path.join(HERE, "engine_server.py"),
                                   self.data, "--lifetime", "500", "--host", host],
            stdout=subprocess.PIPE, text=True)
        self.port = int(self.server.stdout.readline().split()[1])
        self.base = "http://%s:%d" % (host, self.port)
        self.opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        self.last = None  # the last program run, described when a case fails

    def make(self, name, size):
        path = os.path.join(self.data, name)
        with open(path, "wb") as f:
            f.write(os.urandom(size))
        return md5(path)

    def stats(self):
        return json.loads(self.fetch("/ctl/stats"))

    def fetch(self, path):
        # The server may live in another network namespace: ask from there.
        if self.client_prefix:
            code = "import urllib.request,sys; sys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1]).read())"
            return subprocess.run(self.client_prefix + [sys.executable, "-c", code,
                                                        self.base + path],
                                  capture_output=True, check=True, timeout=30).stdout
        with self.opener.open(self.base + path) as r:
            return r.read()

    def control(self, what):
        self.fetch("/ctl/" + what)

    def args(self, url, target, seeds="", tune=TUNE, extra=()):
        args = self.client_prefix + ["wine", EXE, "--engine", winpath(DLL), "--interval", "100",
                                     "--tune", tune]
        if seeds:
            args += ["--seeds", seeds]
        return args + list(extra) + [url, winpath(target)]

    def start(self, url, target, seeds="", tune=TUNE, extra=()):
        """Starts p2sp-get beside the test; it is what a failing case reports on."""
        self.last = wine_run.Started(self.args(url, target, seeds, tune, extra), env=self.env)
        return self.last

    def run(self, url, target, seeds="", timeout=wine_run.DEFAULT_TIMEOUT, tune=TUNE, extra=()):
        """Runs p2sp-get to its end; returns (exit code, output, the "final" line)."""
        self.last = wine_run.run(self.args(url, target, seeds, tune, extra), env=self.env,
                                 timeout=timeout)
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


def expect_downloads(fx, *rows):
    """Downloads through each misbehaving mode in turn: rows of (mode, size) or (mode, size,
    counter, least), the server's counter that shows the misbehaviour really happened."""
    for row in rows:
        mode, size = row[0], row[1]
        name = mode + ".bin"
        expect_download(fx, mode, name, fx.make(name, size))
        if len(row) > 2:
            assert fx.stats().get(row[2], 0) >= row[3], fx.stats()


def expect_given_up(fx, mode, name, size, **run):
    """Downloads /MODE/NAME from a server that can never serve it: the task fails (exit 1,
    state 2). Returns the "final" line and the target's path."""
    fx.make(name, size)
    target = os.path.join(fx.out, name)
    rc, out, final = fx.run("%s/%s/%s" % (fx.base, mode, name), target, **run)
    assert rc == 1 and field(final, "state") == 2, final
    return final, target


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


def partial_size(target):
    return os.path.getsize(target + ".P2P") if os.path.exists(target + ".P2P") else 0


@case
def huge_size_ends_the_task(fx):
    # Sizes near 2^63 and 2^64 (a range's total, a whole reply's length): nothing is planned
    # or written for them, and the task fails at once instead of crashing or hanging.
    fx.make("hg.bin", 2 * MiB)
    for mode in ("huge63", "huge64"):
        target = os.path.join(fx.out, mode + "-hg.bin")
        rc, out, final = fx.run("%s/%s/hg.bin" % (fx.base, mode), target)
        assert rc == 1 and field(final, "state") == 2, (mode, final)
        assert field(final, "seconds") < 15, (mode, final)
        assert not os.path.exists(target) and partial_size(target) == 0, mode


@case
def endless_body_ends_at_the_size_cap(fx):
    cap = 4 * MiB
    target = os.path.join(fx.out, "en.bin")
    fx.make("en.bin", 1)
    rc, out, final = fx.run(fx.base + "/endless/en.bin", target,
                            tune=TUNE + ";max_size=%d" % cap)
    assert rc == 1 and field(final, "state") == 2, final
    assert not os.path.exists(target)
    assert partial_size(target) <= cap
    served = fx.stats().get("bytes-endless", 0)
    print("  an endless stream: %d bytes served, %d kept" % (served, partial_size(target)))
    # What the server pushed before the engine hung up: the cap and what sockets buffer.
    assert cap <= served < cap + 32 * MiB, served


@case
def link_leading_only_to_a_dead_end_is_given_up(fx):
    _, target = expect_given_up(fx, "deadend", "de.bin", 1 * MiB)
    # Every attempt of the link met the dead end once: a bad answer of the link each time,
    # retried with backoff until the run of them gives the source up.
    assert fx.stats().get("gone", 0) >= 8, fx.stats()
    assert not os.path.exists(target)


@case
def server_errors_then_success(fx):
    expect_downloads(fx, ("e500x2", 2 * MiB), ("busy1", 2 * MiB))


@case
def server_refusing_more_connections_gets_fewer(fx):
    # Slow connections make more of them pay, but the server serves three at once. Its
    # refusals must neither end the download (they are answers of no use, in a row for the
    # refused connection) nor go on for all of it.
    expect_downloads(fx, ("few3", 3 * MiB, "few3-refused", 1))
    assert fx.stats().get("few3-refused", 0) <= 30, fx.stats()


@case
def body_cut_short_and_reset_mid_piece(fx):
    expect_downloads(fx, ("cut3", 4 * MiB), ("reset3", 4 * MiB))


@case
def server_capping_each_reply(fx):
    expect_downloads(fx, ("capped", 5 * MiB + 3))


@case
def redirect_is_followed(fx):
    expect_downloads(fx, ("redir", 2 * MiB))


@case
def vanished_redirect_target_goes_back_to_the_link(fx):
    expect_downloads(fx, ("hop", 4 * MiB, "hop", 2))


@case
def unreachable_redirect_target_goes_back_to_the_link(fx):
    # The first two redirects lead to a node that refuses every connection; then nodes that
    # serve a little and go down (connections reset before a reply).
    expect_downloads(fx, ("downhop", 4 * MiB, "downhop", 3), ("hopdown", 4 * MiB, "hopdown", 2))


@case
def link_leading_only_to_an_unreachable_target_is_given_up(fx):
    final, target = expect_given_up(fx, "down", "dn.bin", 1 * MiB, timeout=180)
    print("  given up after %s s" % field(final, "seconds"))
    assert fx.stats().get("down", 0) >= 8, fx.stats()
    assert not os.path.exists(target)


@case
def folded_and_stray_header_lines(fx):
    want = fx.make("fo.bin", 4 * MiB + 5)
    target = os.path.join(fx.out, "fo.bin")
    url = fx.base + "/fold/fo.bin"
    start_and_kill(fx, url, target, 1 * MiB)
    # The folded ETag was read whole: the record keeps the server's own validator...
    request = urllib.request.Request(fx.base + "/r/fo.bin", headers={"Range": "bytes=0-0"})
    with fx.opener.open(request) as r:
        etag = r.headers["ETag"]
    assert record_validator(target) == etag, (record_validator(target), etag)
    # ...so the resumed download's If-Range matches and it carries on where it was.
    rc, out, final = fx.run(url, target)
    assert rc == 0 and md5(target) == want, out[-500:]
    check_progress(out)
    assert field(final, "resumed") >= 1 * MiB, final


@case
def complete_target_is_left_alone_unless_overwritten(fx):
    want = fx.make("ct.bin", 2 * MiB)
    target = os.path.join(fx.out, "ct.bin")
    url = fx.base + "/r/ct.bin"
    rc, out, _ = fx.run(url, target)
    assert rc == 0 and md5(target) == want, out[-300:]
    before = fx.stats().get("bytes-r", 0)
    rc, out, final = fx.run(url, target)
    assert rc == 0 and "already complete" in out and field(final, "state") == 1, out[-300:]
    assert fx.stats().get("bytes-r", 0) == before, "downloaded again"
    rc, out, _ = fx.run(url, target, extra=["--overwrite"])
    assert rc == 0 and md5(target) == want, out[-300:]
    assert fx.stats().get("bytes-r", 0) >= before + 2 * MiB, "--overwrite did not download"


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


def recorded(target):
    """The bytes the progress record beside `target` vouches for (0 while there is none)."""
    try:
        block, _, blocks = read_record(target + ".P2P.rec")
    except (OSError, AssertionError, struct.error, IndexError):
        return 0
    return block * len(blocks)


def start_and_kill(fx, url, target, min_done, tune=TUNE):
    """Starts a download and kills it with SIGKILL once `min_done` bytes are recorded."""
    p = fx.start(url, target, tune=tune)
    done = 0
    deadline = time.monotonic() + 240  # only against a hang: ctest's own limit says nothing
    try:
        for line in p.lines():
            if line.startswith("progress"):
                done = field(line, "done")
            # The record follows the reported progress a moment later (a busy machine
            # stretches that moment): what it vouches for is what survives the kill.
            if done >= min_done and recorded(target) >= min_done:
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
    # What a kill loses is what arrived in the last moments before it, so the byte bound
    # below holds for a given rate: four connections, as many as the bound was made for.
    fixed = TUNE + ";connections=4;adaptive=0"
    start_and_kill(fx, url, target, 2 * MiB, fixed)
    assert os.path.exists(target + ".P2P") and os.path.exists(target + ".P2P.rec")
    first = fx.stats().get("bytes-slow", 0) - before
    rc, out, final = fx.run(url, target, tune=fixed)
    assert rc == 0 and md5(target) == want, out[-300:]
    # Before it starts, the new task already reports what the record vouches for.
    created = [l for l in out.splitlines() if l.startswith("created")]
    assert created and field(created[0], "total") == size, out[:300]
    assert 0 < field(created[0], "done") == field(final, "resumed"), (created, final)
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
def file_changed_mid_download_stops_every_connection(fx):
    size = 32 * MiB
    fx.make("cm.bin", size)
    target = os.path.join(fx.out, "cm.bin")
    rc, out, _ = fx.run(fx.base + "/change30/cm.bin", target)
    assert rc == 0 and md5(target) == md5(os.path.join(fx.data, "cm.bin")), out[-300:]
    served = fx.stats().get("bytes-change30", 0)
    print("  changed at 30 %%: %.2fx the file on the wire" % (served / size))
    assert served <= 1.6 * size, served


@case
def origin_that_keeps_changing_is_given_up(fx):
    final, _ = expect_given_up(fx, "flip", "f.bin", 4 * MiB)
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


def record_validator(target):
    """The validator the progress record beside `target` keeps."""
    with open(target + ".P2P.rec", "rb") as f:
        data = f.read()
    vlen = struct.unpack_from("<I", data, 24)[0]
    return data[32:32 + vlen].decode("latin-1")


def read_record(path):
    """The progress record's size fields and the blocks it vouches for."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"VXP2PREC", "not a record"
    block, total, vlen, ulen = struct.unpack_from("<IQII", data, 12)
    bits = data[32 + vlen + ulen:-4]
    blocks = (total + block - 1) // block
    done = [b for b in range(blocks) if bits[b // 8] >> (b % 8) & 1]
    return block, total, done


@contextlib.contextmanager
def small_disk(fx):
    """A 64 MiB disk with 40 MiB taken by the file it yields (delete it to make room)."""
    disk = os.path.join(fx.dir, "disk")
    os.makedirs(disk)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", disk], check=True)
    try:
        filler = os.path.join(disk, "filler")
        with open(filler, "wb") as f:
            f.write(b"\0" * (40 * MiB))
        yield disk, filler
    finally:
        subprocess.run(["umount", "-l", disk])


@case
def full_disk_keeps_what_the_record_vouches_for(fx):
    with small_disk(fx) as (disk, filler):
        size = 48 * MiB
        want = fx.make("fd.bin", size)
        target = os.path.join(disk, "fd.bin")
        url = fx.base + "/r/fd.bin"
        rc, out, final = fx.run(url, target, timeout=120)
        assert rc == 1 and field(final, "state") == 3, final
        assert not os.path.exists(target + ".P2P.rec.tmp"), "a .rec.tmp was left behind"
        block, total, done = read_record(target + ".P2P.rec")
        assert total == size
        with open(os.path.join(fx.data, "fd.bin"), "rb") as src, open(target + ".P2P", "rb") as part:
            for b in done:
                src.seek(b * block)
                part.seek(b * block)
                assert src.read(block) == part.read(block), "the record vouches for block %d" % b
        on_disk = os.path.getsize(target + ".P2P")
        os.remove(filler)
        rc, out, final = fx.run(url, target, timeout=120)
        assert rc == 0 and md5(target) == want, out[-300:]
        kept = field(final, "resumed")
        print("  full disk: %d of %d bytes on disk, %d vouched for, %d kept" %
              (on_disk, size, len(done) * block, kept))
        assert kept >= len(done) * block, "a vouched block was fetched again"
        assert len(done) * block >= 8 * MiB, "the record kept too little of what fit"


def run_cases(fx, names):
    try:
        for name in names:
            globals()[name](fx)
    finally:
        fx.close()


class Namespaces:
    """A server and a client, each in a network namespace of its own, joined by one veth
    link that the test takes down and up. Nothing here touches the machine's network.
    `tag` names the link's ends, so that runs side by side never meet even by name."""

    def __init__(self, tag=""):
        self.ends = ("vxs" + tag, "vxc" + tag)
        self.holders = [subprocess.Popen(["unshare", "-n", "sleep", "900"]) for _ in range(2)]
        own = os.readlink("/proc/self/ns/net")
        deadline = time.time() + 30
        while any(os.readlink("/proc/%d/ns/net" % h.pid) == own for h in self.holders):
            assert time.time() < deadline, "no namespace"
            time.sleep(0.05)
        self.server, self.client = [h.pid for h in self.holders]
        subprocess.run(["ip", "link", "add", "name", self.ends[0], "netns", str(self.server),
                        "type", "veth", "peer", "name", self.ends[1], "netns",
                        str(self.client)], check=True)
        for pid, dev, addr in ((self.server, self.ends[0], "10.99.0.1/24"),
                               (self.client, self.ends[1], "10.99.0.2/24")):
            self.ip(pid, "link", "set", "lo", "up")
            self.ip(pid, "addr", "add", addr, "dev", dev)
            self.ip(pid, "link", "set", dev, "up")

    @staticmethod
    def prefix(pid):
        return ["nsenter", "-t", str(pid), "-n"]

    def ip(self, pid, *args):
        subprocess.run(self.prefix(pid) + ["ip"] + list(args), check=True)

    def link(self, up):
        self.ip(self.client, "link", "set", self.ends[1], "up" if up else "down")

    def wine_env(self, folder):
        """A Wine environment whose wine server runs in the client's namespace. Wine's
        sockets belong to the wine server, so the usual one (outside) would send the
        client's traffic to the machine's own network: a copy of the usual prefix gets a
        server of its own, started here and checked. (A copy, not hard links: Wine may
        write some of its files in place, which must not reach the usual prefix.)"""
        prefix = os.path.join(folder, "wineprefix")
        copy_prefix(ENV["WINEPREFIX"], prefix)
        env = dict(ENV, WINEPREFIX=prefix)
        # Kept until close(): a server that ends on its own (three seconds after its last
        # program) could be gone before the check below on a busy machine.
        for command in (["wineserver", "-p"], ["wine", "cmd", "/c", "exit"]):
            subprocess.run(self.prefix(self.client) + command, env=env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300)
        self.wine = env
        mine = os.readlink("/proc/%d/ns/net" % self.client)
        servers = [pid for pid in os.listdir("/proc") if pid.isdigit() and
                   wine_server_of(pid) == os.path.realpath(prefix)]
        assert servers and all(os.readlink("/proc/%s/ns/net" % p) == mine for p in servers), \
            "the wine server is not in the test's namespace"
        return env

    def close(self):
        if getattr(self, "wine", None):
            subprocess.run(["wineserver", "-k"], env=self.wine, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        for h in self.holders:
            h.kill()
            h.wait()


def copy_prefix(source, target):
    """Copies a Wine prefix that other tests use meanwhile: a file that goes while it is
    copied (a test's scratch folder, the wine server's registry save) was theirs, not part of
    the prefix, and is left out. Links stay links (dosdevices/z: is the whole machine)."""
    def copy_present(src, dst):
        try:
            shutil.copy2(src, dst, follow_symlinks=False)
        except FileNotFoundError:
            pass

    try:
        shutil.copytree(source, target, symlinks=True, copy_function=copy_present)
    except shutil.Error as e:
        others = [err for err in e.args[0] if "No such file or directory" not in err[2]]
        if others:
            raise


def wine_server_of(pid):
    """The prefix of a wine server process, or None."""
    try:
        if not open("/proc/%s/comm" % pid).read().startswith("wineserver"):
            return None
        env = open("/proc/%s/environ" % pid, "rb").read().split(b"\0")
    except OSError:
        return None
    for item in env:
        if item.startswith(b"WINEPREFIX="):
            return os.path.realpath(item[11:].decode())
    return None


class ProgressLog:
    """Reads the front end's output as it comes, with the time of every line."""

    def __init__(self, process):
        self.lines = []
        self.cond = threading.Condition()
        threading.Thread(target=self.read, args=(process,), daemon=True).start()

    def read(self, process):
        for line in process.stdout:
            with self.cond:
                self.lines.append((time.time(), line))
                self.cond.notify_all()
        with self.cond:
            self.lines.append((time.time(), "eof"))
            self.cond.notify_all()

    def wait(self, test, timeout):
        """The first line after now for which test(line) holds; None when the output ends."""
        with self.cond:
            start = len(self.lines)
            deadline = time.time() + timeout
            while True:
                for when, line in self.lines[start:]:
                    if line == "eof" or line.startswith("final") or test(line):
                        return when, line
                start = len(self.lines)
                left = deadline - time.time()
                assert left > 0, "no such progress within %d s" % timeout
                self.cond.wait(left)

    def last(self):
        with self.cond:
            return self.lines[-1][1] if self.lines else ""

    def done(self):
        with self.cond:
            for _, line in reversed(self.lines):
                if line.startswith("progress"):
                    return field(line, "done")
        return 0


def outage(ns, log, seconds):
    """Takes the link down for `seconds`; returns how long bytes took to flow again."""
    ns.link(False)
    time.sleep(seconds)  # the outage itself: its length is what is being tested
    log.wait(lambda l: l.startswith("progress"), 30)
    last = log.last()
    assert last.startswith("progress") and field(last, "state") == 0, "ended: " + last
    assert field(last, "origin") == 0, "bytes during the outage: " + last
    before = log.done()
    ns.link(True)
    t_up = time.time()
    when, line = log.wait(lambda l: l.startswith("progress") and field(l, "done") > before, 60)
    assert line.startswith("progress"), "ended: " + line
    return when - t_up


def outage_main(seconds):
    """One download rides out the link going down for `seconds` (30 s outlasts a
    connection's stall time-out, 120 s many rounds of retries): it completes, and bytes flow
    again soon after the link returns."""
    name = "link_down_%d_seconds" % seconds
    if os.geteuid() != 0 or not shutil.which("unshare") or not shutil.which("nsenter"):
        print("SKIP: network namespaces need root")
        return 77
    ns = Namespaces(str(seconds))
    fx = Fixture("10.99.0.1", Namespaces.prefix(ns.server), Namespaces.prefix(ns.client))
    try:
        fx.env = ns.wine_env(fx.dir)
        size = 64 * MiB
        want = fx.make("ol.bin", size)
        target = os.path.join(fx.out, "ol.bin")
        # Default retry and stall settings: those are what must ride the outage out.
        p = fx.start(fx.base + "/slow/ol.bin", target, tune="persist_ms=200")
        log = ProgressLog(p)
        log.wait(lambda l: l.startswith("progress") and field(l, "done") >= 4 * MiB, 60)
        back = outage(ns, log, seconds)
        _, final = log.wait(lambda l: False, 180)
        p.wait(timeout=30)
        print("  bytes flow again %.2f s after a %d s outage" % (back, seconds))
        assert final.startswith("final") and field(final, "state") == 1, final
        assert md5(target) == want
        assert back < 10, "slow to notice the network is back"
        print("PASS " + name)
        return 0
    except Exception as e:  # noqa: BLE001
        print("FAIL " + name, repr(e))
        return 1
    finally:
        ns.close()
        fx.close()


def main():
    group = sys.argv[3] if len(sys.argv) > 3 else None
    if group and group.startswith("outage_"):  # outage_30s, outage_120s
        return outage_main(int(group[len("outage_"):].rstrip("s")))
    if group == "disk" and os.geteuid() != 0:
        print("SKIP: a small disk needs root to mount")
        return 77
    names = GROUPS[group] if group else [n for g in GROUPS.values() for n in g]
    run_cases(Fixture(), names)
    failed = sum(1 for _, e in results if e)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


# Groups run as separate tests so each stays short and they can run side by side.
GROUPS = {
    "sources": [
        "range_server_multi_connection", "server_without_range_support_single_stream",
        "chunked_reply_without_length", "task_form_with_md5_and_stale_target_replaced", "empty_file", "server_capping_each_reply",
        "redirect_is_followed", "vanished_redirect_target_goes_back_to_the_link",
        "unreachable_redirect_target_goes_back_to_the_link",
        "unwritable_folder_is_a_file_error", "folded_and_stray_header_lines",
        "complete_target_is_left_alone_unless_overwritten",
    ],
    "faults": [
        "reply_starting_early_is_never_written", "not_found_fails_at_once",
        "huge_size_ends_the_task", "endless_body_ends_at_the_size_cap",
        "link_leading_only_to_a_dead_end_is_given_up",
        "link_leading_only_to_an_unreachable_target_is_given_up",
        "server_errors_then_success", "server_refusing_more_connections_gets_fewer",
        "body_cut_short_and_reset_mid_piece",
        "stalled_seed_beside_fast_origin", "seed_with_another_size_is_dropped",
        "seed_carries_a_slow_origin",
    ],
    "resume": [
        "pause_and_resume_in_one_process", "killed_download_resumes_with_little_downloaded_again",
        "file_changed_on_server_between_runs_starts_over", "damaged_record_is_discarded",
        "origin_that_keeps_changing_is_given_up",
        "file_changed_mid_download_stops_every_connection",
    ],
    "disk": ["full_disk_keeps_what_the_record_vouches_for"],
}

if __name__ == "__main__":
    sys.exit(main())

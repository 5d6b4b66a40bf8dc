#!/usr/bin/python3
"""The engine in a swarm: p2sp-get under Wine beside host peers (Debian's libtorrent, see
swarm_peer.py), the publisher's tracker (opentracker) and the loopback origin server.

Usage: engine_swarm_test.py P2SP_GET_EXE ENGINE_DLL
Every party has an address of its own (the engine 127.0.0.1, good peer 127.0.0.2, lying peer
127.0.0.4, origin and tracker 127.0.0.5): the swarm bans by address, and a good source
sharing one with a liar would be banned with it. The engine takes 127.0.0.1: under Wine the
loopback adapter shows only that address, and the swarm listens (and announces) only on
addresses an adapter shows; two copies of the engine both take it, each on a port the system
chose (the tracker lists peers by address and port, so they find each other, and they share
the address with no liar). A separate network namespace per copy would need a wine server
each. uTP and local discovery are off: uTP over loopback is slow, and discovery would
multicast beyond loopback.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

import engine_transfer_test as et
from engine_transfer_test import MiB, case, field, md5

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = ["/usr/bin/python3", os.path.join(HERE, "swarm_peer.py")]
PIECE = 256 * 1024
ENGINE_IP = "127.0.0.1"
SERVER_IP = "127.0.0.5"
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))
SWARM_TUNE = et.TUNE + ";lsd=0;utp=0;listen_ip=" + ENGINE_IP


class Tracker:
    """opentracker serving the torrents published for it. Its port is chosen first (the
    torrents name it), the process starts once they are made: Debian's opentracker serves
    only the torrents its whitelist names when it starts."""

    def __init__(self):
        # Started as root, opentracker reads its whitelist as an unprivileged user.
        self.folder = tempfile.mkdtemp(prefix="vexa-tracker-")
        os.chmod(self.folder, 0o755)
        self.hashes = []
        self.proc = None
        probe = socket.socket()
        probe.bind((SERVER_IP, 0))
        self.port = probe.getsockname()[1]
        probe.close()

    @property
    def url(self):
        return "http://%s:%d/announce" % (SERVER_IP, self.port)

    def start(self):
        whitelist = os.path.join(self.folder, "whitelist-%d.txt" % self.port)
        conf = os.path.join(self.folder, "opentracker-%d.conf" % self.port)
        with open(whitelist, "w") as f:
            f.write("".join(h + "\n" for h in self.hashes))
        with open(conf, "w") as f:
            f.write("listen.tcp %s:%d\naccess.whitelist %s\n" % (SERVER_IP, self.port, whitelist))
        self.proc = subprocess.Popen(["opentracker", "-f", conf], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        # It reads the whitelist on a thread of its own after it listens: asked until it
        # answers for the torrent (a start, then a stop that takes the asking peer away).
        query = "%s?info_hash=%s&peer_id=vexa-swarm-test-0001&port=1&uploaded=0&downloaded=0" \
                "&left=0&compact=1" % (self.url, urllib.parse.quote(bytes.fromhex(self.hashes[0])))
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and self.proc.poll() is None:
            try:
                with OPENER.open(query, timeout=5) as answer:
                    if b"failure reason" not in answer.read():
                        OPENER.open(query + "&event=stopped", timeout=5).close()
                        return
            except OSError:
                pass
            time.sleep(0.05)
        raise AssertionError("opentracker did not serve the torrent on port %d" % self.port)

    def close(self):
        if self.proc:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


class Peer:
    """A host peer serving one file until closed."""

    def __init__(self, torrent, folder, ip, lie=False):
        args = PEER + ["seed", torrent, folder, "--ip", ip] + (["--lie"] if lie else [])
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True)
        self.uploaded = 0
        self.notes = []  # the peer's error alerts, for a failing case's message
        ready = threading.Event()
        self.reader = threading.Thread(target=self.read, args=(ready,), daemon=True)
        self.reader.start()
        assert ready.wait(60), "the peer at %s never served" % ip

    def read(self, ready):
        for line in self.proc.stdout:
            if line.startswith("seeding"):
                ready.set()
            elif line.startswith("uploaded"):
                self.uploaded = int(line.split()[1])
            elif line.startswith("alert"):
                self.notes.append(line.strip())

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=30)
        self.reader.join(timeout=5)


def publish(fx, name, mode, tracker, data=None):
    """Writes NAME's torrent beside it at the origin: web seed /MODE/NAME, the tracker."""
    path = os.path.join(data or fx.data, name)
    out = subprocess.run(PEER + ["make", path, os.path.join(fx.data, name + ".torrent"),
                                 "--web-seed", "%s/%s/%s" % (fx.base, mode, name),
                                 "--tracker", tracker.url, "--piece", str(PIECE)],
                         capture_output=True, text=True, check=True).stdout
    tracker.hashes += [line.split()[1] for line in out.splitlines()]


def served(fx, mode):
    return fx.stats().get("bytes-" + mode, 0)


def swarm_download(fx, mode, name, tune=SWARM_TUNE):
    target = os.path.join(fx.out, name)
    rc, out, final = fx.run("%s/%s/%s" % (fx.base, mode, name), target, tune=tune)
    assert rc == 0, "exit %d: %s" % (rc, out[-500:])
    assert " swarm=1" in final, final
    et.check_progress(out)
    assert not os.path.exists(target + ".P2P"), "partial file left"
    return target, final


def published_with_tracker(fx, name, size, mode="slow"):
    """A file of `size` with its torrent (web seed /MODE/NAME), and the tracker that lists it
    running; returns the file's MD5."""
    want = fx.make(name, size)
    fx.tracker = Tracker()
    publish(fx, name, mode, fx.tracker)
    fx.tracker.start()
    return want


@case
def peer_carries_a_slow_origin(fx):
    # The origin's thin line holds all connections together to its rate, so the share the
    # peer carries does not hang on how many connections the engine opens to the origin.
    size = 24 * MiB + 4321
    want = published_with_tracker(fx, "pc.bin", size, "thin")
    peer = Peer(os.path.join(fx.data, "pc.bin.torrent"), fx.data, "127.0.0.2")
    try:
        before = served(fx, "thin")
        target, final = swarm_download(fx, "thin", "pc.bin")
    finally:
        peer.close()
    origin = served(fx, "thin") - before
    print("  peer bytes %d, origin %d of %d" % (field(final, "peer_bytes"), origin, size))
    assert md5(target) == want, "content differs"
    assert field(final, "peer_bytes") >= 0.75 * size, (final, peer.uploaded, peer.notes[-5:])
    assert origin <= 0.25 * size, origin


class ServingCopy:
    """A copy of the engine that downloads URL and stays in the swarm serving the file (as
    the program does while its window stays) until closed."""

    def __init__(self, fx, url, target):
        os.makedirs(os.path.dirname(target), exist_ok=True)
        self.proc = fx.start(url, target, tune=SWARM_TUNE, extra=("--serve-for", "600"))
        for line in self.proc.lines():
            if line.startswith("serving"):
                break
        else:
            raise AssertionError("the first copy never served:\n" + self.proc.describe())
        # Its output is read on, or a long wait would fill the pipe and stop its reports.
        self.reader = threading.Thread(target=lambda: [None for _ in self.proc.lines()],
                                       daemon=True)
        self.reader.start()

    def close(self):
        self.proc.kill()  # its file is complete: only the serving ends
        self.proc.wait()
        self.reader.join(timeout=5)
        self.proc.close()


@case
def second_copy_takes_the_file_from_the_first(fx):
    # The first copy takes the quick route to the origin only to keep the case short; the
    # second copy's link, and the torrent's web seed, is the origin's thin line, shared by
    # all their connections, so what it does not take from the first copy comes slowly.
    size = 12 * MiB + 777
    want = published_with_tracker(fx, "two.bin", size, "thin")
    first = ServingCopy(fx, fx.base + "/r/two.bin", os.path.join(fx.out, "first", "two.bin"))
    try:
        before = served(fx, "thin")
        target, final = swarm_download(fx, "thin", "two.bin")
        origin = served(fx, "thin") - before
    finally:
        first.close()
    peers = field(final, "peer_bytes")
    print("  second copy: peer bytes %d, origin %d of %d" % (peers, origin, size))
    assert md5(target) == want, "content differs"
    # The thin line carries half of the file in 48 s; the first copy serves it in a few,
    # also beside a CPU load.
    assert peers >= 0.5 * size, (final, first.proc.describe())


def damaged_copy(fx, name, folder):
    """The file with one byte flipped in every piece, under the same name in `folder`."""
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(fx.data, name), "rb") as f:
        data = bytearray(f.read())
    for at in range(PIECE // 2, len(data), PIECE):
        data[at] ^= 0xFF
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


@case
def lying_peer_is_banned_and_the_file_is_right(fx):
    size = 8 * MiB
    want = published_with_tracker(fx, "lie.bin", size)
    liar_dir = os.path.join(fx.dir, "liar")
    damaged_copy(fx, "lie.bin", liar_dir)
    liar = Peer(os.path.join(fx.data, "lie.bin.torrent"), liar_dir, "127.0.0.4", lie=True)
    try:
        target, final = swarm_download(fx, "slow", "lie.bin")
    finally:
        liar.close()
    print("  failed %d bytes, %d banned, liar sent %d" %
          (field(final, "failed"), field(final, "banned"), liar.uploaded))
    assert md5(target) == want, "content differs"
    assert liar.uploaded > 0, "the liar was never asked"
    assert field(final, "banned") >= 1, final
    assert field(final, "failed") <= 8 * PIECE, final  # a few pieces per lie


@case
def no_torrent_is_the_http_download(fx):
    want = fx.make("plain.bin", 3 * MiB + 5)
    target = os.path.join(fx.out, "plain.bin")
    rc, out, final = fx.run(fx.base + "/r/plain.bin", target, tune=SWARM_TUNE)
    assert rc == 0 and md5(target) == want, out[-500:]
    assert " swarm=1" not in out, final
    assert not os.path.exists(target + ".P2P.rec"), "record left"


@case
def killed_swarm_download_resumes_verifying_pieces(fx):
    size = 8 * MiB
    want = published_with_tracker(fx, "ks.bin", size)
    target = os.path.join(fx.out, "ks.bin")
    url = fx.base + "/slow/ks.bin"
    p = fx.start(url, target, tune=SWARM_TUNE)
    try:
        for line in p.lines():
            if line.startswith("progress") and field(line, "done") >= 2 * MiB:
                break
    finally:
        p.close()  # SIGKILL
    assert os.path.exists(target + ".P2P")
    # Damage a piece the first run had: the check on resume must fetch it again.
    with open(target + ".P2P", "r+b") as f:
        f.seek(PIECE // 2)
        byte = f.read(1)
        f.seek(PIECE // 2)
        f.write(bytes([byte[0] ^ 0xFF]))
    rc, out, final = fx.run(url, target, tune=SWARM_TUNE)
    assert rc == 0 and md5(target) == want, out[-500:]
    resumed = field(final, "resumed")
    print("  resumed with %d verified bytes" % resumed)
    assert PIECE <= resumed <= size - PIECE, final


def run_swarm_cases(cases):
    """Runs the cases (functions) on one fixture, each with a tracker of its own; returns
    the exit code."""
    fx = et.Fixture(host=SERVER_IP)
    fx.tracker = None
    try:
        for run_case in cases:
            try:
                run_case(fx)
            finally:
                if fx.tracker:
                    fx.tracker.close()
                fx.tracker = None
    finally:
        fx.close()
    failed = sum(1 for _, e in et.results if e)
    print("%d passed, %d failed" % (len(et.results) - failed, failed))
    return 1 if failed else 0


def main():
    return run_swarm_cases([peer_carries_a_slow_origin, second_copy_takes_the_file_from_the_first,
                            lying_peer_is_banned_and_the_file_is_right,
                            no_torrent_is_the_http_download,
                            killed_swarm_download_resumes_verifying_pieces])


if __name__ == "__main__":
    sys.exit(main())

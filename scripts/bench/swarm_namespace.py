#!/usr/bin/python3
"""Runs the engine front end (p2sp-get under Wine) in the namespaces swarm_namespace.sh made
and prints each case's figures. Debian's python3 (its libtorrent reads the torrents).

  swarm_namespace.py lone|together|pair|kill COMMON --client NS:PREFIX:IP ...
  swarm_namespace.py damage SOURCE TORRENT OUT   (one byte flipped in every piece)
COMMON: --exe --dll --work --origin-ns --url --source --access-log --tune [--torrent]
        [--label] [--liar-out] [--runs]

A client's time runs from its "created" line (the engine loaded, the task made; Wine's own
start is left out) to its first line in a finished state, each line stamped as it arrives
(the front end prints every 250 ms). Clients that finish stay serving until the case ends.
"""
import argparse
import hashlib
import os
import random
import re
import signal
import subprocess
import sys
import threading
import time

INTERVAL_MS = 250
SERVE_S = 3600  # a copy whose window stays: the case ends it
LOG_LINE = re.compile(r'"GET (\S+) HTTP/[\d.]+" (\d+) (\d+)')


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fields(line):
    return dict(p.split("=", 1) for p in line.split()[1:] if "=" in p)


class Client:
    """One p2sp-get process in its namespace, its output read and stamped on a thread."""

    def __init__(self, spec, args):
        self.ns, self.prefix, self.ip = spec.split(":")
        self.args = args
        self.name = self.ns.split("-", 1)[1]
        self.folder = os.path.join(args.work, "out-" + self.ns)
        os.makedirs(self.folder, exist_ok=True)
        self.target = os.path.join(self.folder, os.path.basename(args.url))
        self.proc = None
        STARTED.append(self)

    def clear(self):
        for entry in os.listdir(self.folder):
            os.remove(os.path.join(self.folder, entry))

    def start(self, serve_s):
        self.created = self.done_at = None
        self.last = {}
        self.final = {}
        self.created_done = 0
        tune = "%s;listen_ip=%s" % (self.args.tune, self.ip)
        cmd = ["ip", "netns", "exec", self.ns, "env", "WINEPREFIX=" + self.prefix, "wine",
               self.args.exe, "--engine", winpath(self.args.dll), "--interval", str(INTERVAL_MS),
               "--tune", tune, "--serve-for", str(serve_s), self.args.url, winpath(self.target)]
        self.log = open(os.path.join(self.args.work, "%s.log" % self.ns), "a")
        self.log.write("# %s\n" % " ".join(cmd))
        self.log.flush()
        self.started = time.monotonic()
        # The pid is the Windows process itself: ip, env and wine each exec the next.
        self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=self.log, text=True)
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.proc.stdout:
            now = time.monotonic()
            self.log.write("%.3f %s" % (now - self.started, line))
            if line.startswith("created"):
                self.created = now
                self.created_done = int(fields(line).get("done", 0))
            elif line.startswith("progress"):
                self.last = fields(line)
                if self.last.get("state", "0") != "0" and self.done_at is None:
                    self.done_at = now
            elif line.startswith("final"):
                self.final = fields(line)
        self.log.flush()

    @property
    def finished(self):
        return self.done_at is not None or (self.proc is not None and self.proc.poll() is not None)

    @property
    def done_bytes(self):
        return int(self.last.get("done", 0))

    def seconds(self):
        if self.done_at is None or self.created is None:
            return None
        return self.done_at - self.created

    def kill(self):
        if self.proc and self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)
        self.wait()

    def wait(self):
        if self.proc:
            self.proc.wait()
            self.reader.join()
            self.log.close()


def wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise SystemExit("timed out waiting for %s" % what)
        time.sleep(0.05)


DIGESTS = {}
STARTED = []  # every client made: whatever still runs when the driver ends is killed


def digests(path):
    if not os.path.exists(path):
        return ("missing", "missing")
    if path in DIGESTS:
        return DIGESTS[path]
    md5, sha = hashlib.md5(), hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            md5.update(block)
            sha.update(block)
    return md5.hexdigest(), sha.hexdigest()


def source_digests(path):
    DIGESTS[path] = digests(path)
    return DIGESTS[path]


def cpu_times():
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    return sum(values), values[3] + values[4]  # all, idle + waiting for the disk


class Origin:
    """What the origin served meanwhile: nginx's access log (the package's own requests,
    $body_bytes_sent) and tc's count of everything that left by the capped link."""

    def __init__(self, args):
        self.args = args
        self.path = "/" + args.url.split("/", 3)[3]
        self.offset = os.path.getsize(args.access_log) if os.path.exists(args.access_log) else 0
        self.tc_start = self.tc_sent()
        self.cpu_start = cpu_times()

    def tc_sent(self):
        out = subprocess.run(["tc", "-s", "-n", self.args.origin_ns, "qdisc", "show", "dev",
                              "eth0"], capture_output=True, text=True).stdout
        m = re.search(r"Sent (\d+) bytes", out)
        return int(m.group(1)) if m else 0

    def served(self):
        """(package bytes from the log, requests, bytes on the link)."""
        time.sleep(0.5)  # nginx logs a request once its connection has let go of it
        total = requests = 0
        with open(self.args.access_log, "rb") as f:
            f.seek(self.offset)
            for line in f.read().decode("utf-8", "replace").splitlines():
                m = LOG_LINE.search(line)
                if m and m.group(1) == self.path:
                    total += int(m.group(3))
                    requests += 1
        return total, requests, self.tc_sent() - self.tc_start

    def busy(self):
        """The share of the machine's processor time that was in use meanwhile."""
        (all0, idle0), (all1, idle1) = self.cpu_start, cpu_times()
        return 1.0 - (idle1 - idle0) / max(1, all1 - all0)


def print_origin(origin, size):
    body, requests, link = origin.served()
    print("  origin served %.2fx the package (%d bytes in %d requests; %.2fx left by its link)"
          % (body / size, body, requests, link / size))
    print("  processors busy %.0f %% meanwhile (all processes of the machine)" % (100 * origin.busy()))
    return body


def check_copies(clients, args):
    """Prints and returns whether every client's copy has the source's MD5 and SHA-256."""
    want = source_digests(args.source)
    right = 0
    for c in clients:
        got = digests(c.target)
        ok = got == want
        right += ok
        print("  %-6s md5 %s sha256 %s... %s" % (c.name, got[0], got[1][:16],
                                                "right" if ok else "WRONG"))
    print("  %d of %d copies right (source md5 %s sha256 %s...)" %
          (right, len(clients), want[0], want[1][:16]))
    return right == len(clients)


def clients_of(args):
    return [Client(spec, args) for spec in args.client]


def run_together(clients, timeout):
    for c in clients:
        c.clear()
    for c in clients:
        c.start(SERVE_S)
    wait_until(lambda: all(c.finished for c in clients), timeout, "the clients to finish")
    for c in clients:
        c.kill()


def lone(args):
    c = clients_of(args)[0]
    size = os.path.getsize(args.source)
    origin = Origin(args)
    c.clear()
    c.start(0)
    wait_until(lambda: c.finished, args.timeout, "the lone client")
    c.wait()
    seconds = c.seconds()
    print("lone client (swarm tuning, no peers): %s s, %.1f MiB/s" %
          ("%.2f" % seconds if seconds else "unfinished",
           size / 1048576 / seconds if seconds else 0))
    print_origin(origin, size)
    check_copies([c], args)
    if seconds:
        with open(os.path.join(args.work, "lone.txt"), "w") as f:
            f.write("%f\n" % seconds)


def piece_length(torrent):
    import libtorrent as lt
    return lt.torrent_info(torrent).piece_length()


def together(args):
    clients = clients_of(args)
    size = os.path.getsize(args.source)
    origin = Origin(args)
    run_together(clients, args.timeout)
    print("%s, started together (created within %.2f s of each other):" % (
        args.label, max(c.created or 0 for c in clients) - min(c.created or 0 for c in clients)))
    piece = piece_length(args.torrent) if args.torrent else 0
    times = []
    for c in clients:
        s = c.seconds()
        times.append(s)
        extra = ""
        if c.last.get("swarm") == "1":
            extra = " peer_bytes %s (%.0f %%) uploaded %s" % (
                c.last.get("peer_bytes"), 100.0 * int(c.last.get("peer_bytes", 0)) / size,
                c.last.get("upload"))
            if piece:
                failed = int(c.last.get("failed", 0))
                extra += " failed %d bytes (%.1f pieces) banned %s" % (
                    failed, failed / piece, c.last.get("banned"))
        print("  %-6s %s s state %s%s" % (c.name, "%.2f" % s if s else "unfinished",
                                          c.last.get("state"), extra))
    print_origin(origin, size)
    done = [t for t in times if t]
    lone_file = os.path.join(args.work, "lone.txt")
    if done:
        print("  time: fastest %.2f s, slowest %.2f s" % (min(done), max(done)))
    if done and os.path.exists(lone_file):
        lone_s = float(open(lone_file).read())
        print("  slowest / lone = %.2f / %.2f = %.2f" % (max(done), lone_s, max(done) / lone_s))
    if args.liar_out:
        sent = [l.split()[1] for l in open(args.liar_out) if l.startswith("uploaded")]
        print("  the lying peer sent %s bytes" % (sent[-1] if sent else "?"))
    check_copies(clients, args)


def pair(args):
    first, second = clients_of(args)
    size = os.path.getsize(args.source)
    for c in (first, second):
        c.clear()
    first.start(SERVE_S)
    wait_until(lambda: first.finished, args.timeout, "the first of the pair")
    origin = Origin(args)
    second.start(0)
    wait_until(lambda: second.proc.poll() is not None, args.timeout, "the second of the pair")
    second.wait()
    first.kill()
    peer = int(second.final.get("peer_bytes", 0))
    print("LAN pair, no tracker (local discovery):")
    print("  first %.2f s from the origin alone; second %s s" % (
        first.seconds() or 0, "%.2f" % second.seconds() if second.seconds() else "unfinished"))
    print("  second took %d of %d bytes (%.1f %%) from its peer (status record's peer bytes)" %
          (peer, size, 100.0 * peer / size))
    body = print_origin(origin, size)
    print("  by the origin's log, %.1f %% of the second's bytes came from elsewhere" %
          (100.0 - 100.0 * body / size))
    check_copies([first, second], args)


def kill_run(clients, args, run, size):
    for c in clients:
        c.clear()
    for c in clients:
        c.start(SERVE_S)
    victim = random.choice(clients)
    at = random.uniform(0.1, 0.9)
    wait_until(lambda: victim.done_bytes >= at * size or victim.finished, args.timeout,
               "the kill point")
    if victim.finished:
        for c in clients:
            c.kill()
        print("  run %2d: %s finished before %.0f %%: not counted" % (run, victim.name, 100 * at))
        return None
    victim.kill()
    seen = victim.done_bytes  # verified when it was last asked
    partial = os.path.exists(victim.target + ".P2P")
    victim.start(0)
    wait_until(lambda: victim.proc.poll() is not None, args.timeout, "the resumed client")
    victim.wait()
    wait_until(lambda: all(c.finished for c in clients), args.timeout, "the others")
    for c in clients:
        c.kill()
    resumed = int(victim.final.get("resumed", 0))
    # The wire count holds the peers' protocol and the HTTP heads too, and pieces that came
    # twice (duplicates): what was fetched for the file is the wire less the duplicates.
    wire = int(victim.final.get("wire", 0))
    fetched = wire - int(victim.final.get("duplicates", 0))
    missing = size - resumed
    ratio = fetched / missing if missing else 0
    right = all(digests(c.target) == DIGESTS[args.source] for c in clients)
    print("  run %2d: %s killed at %5.1f %% (%d verified); resumed %d, missing %d, fetched %d "
          "less duplicates %s = %.3fx the missing; partial file %s; copies %s" % (
              run, victim.name, 100.0 * seen / size, seen, resumed, missing, wire,
              victim.final.get("duplicates"), ratio, "kept" if partial else "GONE",
              "right" if right else "WRONG"))
    return right, resumed >= seen, ratio


def kill(args):
    clients = clients_of(args)
    size = os.path.getsize(args.source)
    source_digests(args.source)
    print("kill -9 at random during a swarm download of %d clients, %d runs:" %
          (len(clients), args.runs))
    results = [r for r in (kill_run(clients, args, i + 1, size) for i in range(args.runs)) if r]
    if results:
        print("  %d counted runs: copies right in %d, resumed >= verified before the kill in %d, "
              "fetched after resume / missing at most %.3fx" % (
                  len(results), sum(r[0] for r in results), sum(r[1] for r in results),
                  max(r[2] for r in results)))


def damage(argv):
    source, torrent, out = argv
    piece = piece_length(torrent)
    with open(source, "rb") as f, open(out, "wb") as g:
        for block in iter(lambda: f.read(piece), b""):
            block = bytearray(block)
            block[len(block) // 2] ^= 0xFF
            g.write(block)


def main():
    if sys.argv[1] == "damage":
        return damage(sys.argv[2:])
    p = argparse.ArgumentParser()
    p.add_argument("case", choices=["lone", "together", "pair", "kill"])
    for name in ["exe", "dll", "work", "origin-ns", "url", "source", "access-log", "tune"]:
        p.add_argument("--" + name, required=True)
    p.add_argument("--client", action="append", required=True)
    p.add_argument("--torrent", default="")
    p.add_argument("--label", default="")
    p.add_argument("--liar-out", default="")
    p.add_argument("--runs", type=int, default=20)
    p.add_argument("--timeout", type=float, default=3600)
    args = p.parse_args()
    try:
        {"lone": lone, "together": together, "pair": pair, "kill": kill}[args.case](args)
    finally:
        sys.stdout.flush()
        for c in STARTED:
            c.kill()


if __name__ == "__main__":
    main()

"""The whole program under Wine against the local test server, for test_program.py.

A stamped copy of the program writes one line per visible step into the file that
VEXA_TRACE_LOG names (test builds only): the main window's reports and hand-over ("report
finished 5", "handover download built-in", "handover initial-failed", ...) and the download
window's own trace ("mode 0", "path C:\\...", "verified", "prompt ..."). Program.wait_for()
follows that file.
"""

import getpass
import glob
import hashlib
import os
import struct
import subprocess
import time
import zlib

import harness as h
from harness import to_unix  # noqa: F401 (the tests' name for it)
from server_client import Server  # noqa: F401 (the tests' name for it)

STAND_IN_INSTALLER = os.environ.get("VEXA_STAND_IN_INSTALLER", "")
WM_COMMAND = 0x111


def desktop_folder():
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", getpass.getuser(), "Desktop")


def png(width, height, rgb=(0x20, 0x60, 0xC0), noise=False):
    """An RGB PNG of that size: one colour, or random pixels (a large file)."""
    if noise:
        raw = b"".join(b"\x00" + os.urandom(width * 3) for _ in range(height))
    else:
        raw = (b"\x00" + bytes(rgb) * width) * height
    body = zlib.compress(raw, 6)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", body) +
            chunk(b"IEND", b""))


def screenshot(name):
    return h.screenshot(name, folder="program")


def publish(server, package_id, files, game_name="Starfall", new_version="1.1.0.1011",
            game_start=None, skin=None, links=None, safecheck="1"):
    """Serves `files` ([(name, bytes)]) under /files/ and the document that lists them.
    `links` replaces the files' links (for hostile names); `skin` (bytes) is served as the
    skin image. Returns [(name, bytes, md5)]."""
    listed = []
    for name, data in files:
        server.put("/files/" + name, data)
        listed.append((name, data, hashlib.md5(data).hexdigest()))
    links = links or [server.url("/files/" + name) for name, _, _ in listed]
    lines = ["[GameConfig]", "GameName=" + game_name,
             "GameSize=" + ",".join(str(len(d)) for _, d, _ in listed),
             "GameDownloadLink=" + ",".join(links),
             "GameMd5=" + ",".join(m for _, _, m in listed),
             "GameStart=" + (game_start or listed[0][0]), "GameVersion=2.0.1"]
    lines += ["[DownLoader]", "NewVersion=" + new_version]
    if skin is not None:
        server.put("/skin/%s.png" % package_id.strip("{}"), skin)
        lines.append("SkinLink=" + server.url("/skin/%s.png" % package_id.strip("{}")))
    lines += ["[Quillet]", "safecheck=" + safecheck]
    document = "\r\n".join(lines) + "\r\n"
    server.put("/publish/tool/muldown/%s.html" % package_id, document.encode("utf-8"))
    return listed


class Program:
    """One stamped copy of the program, started under Wine, and its trace."""

    def __init__(self, folder, name, package_id, server_host, env=None):
        os.makedirs(folder, exist_ok=True)
        self.id = package_id
        self.exe = h.stamp(os.path.join(folder, name + ".exe"), package_id,
                           config_server=server_host, stats_server=server_host)
        self.trace = os.path.join(folder, name + ".trace")
        if os.path.exists(self.trace):
            os.remove(self.trace)
        self.cursor = 0
        self.started = time.monotonic()
        self.proc = h.start(self.exe, env=dict({"VEXA_TRACE_LOG": h.windows_path(self.trace)},
                                               **(env or {})))

    def lines(self):
        try:
            with open(self.trace, "rb") as f:
                text = f.read().decode("utf-8", "replace")
        except FileNotFoundError:
            return []
        # Only whole lines: the last one may still be on its way.
        return [line.rstrip("\r") for line in text.split("\n")[:-1]]

    def wait_for(self, prefix, timeout=120.0):
        """The first trace line after the last one found that starts with `prefix`; None when
        none comes within `timeout` seconds or the program ends without it."""
        deadline = time.time() + timeout
        while True:
            ended = self.proc.poll() is not None
            lines = self.lines()
            for index in range(self.cursor, len(lines)):
                if lines[index].startswith(prefix):
                    self.cursor = index + 1
                    return lines[index]
            if ended or time.time() > deadline:
                return None
            time.sleep(0.1)

    def expect(self, test, prefix, timeout=120.0):
        line = self.wait_for(prefix, timeout)
        if line is None:
            test.fail("no trace line %r; the trace:\n  %s\n%s" % (
                prefix, "\n  ".join(self.lines()), self.proc.describe()))
        return line

    def windows(self):
        """[(width, height, class, title)] of the program's visible windows."""
        listed = h.driver("list-windows", h.MAIN_TITLE_PREFIX).stdout
        result = []
        for line in listed.splitlines():
            if "\t" not in line:
                continue
            head, title = line.split("\t", 1)
            width, height, cls = head.split(" ", 2)
            result.append((int(width), int(height), cls, title.rstrip("\r")))
        return result

    def wait_windows(self, predicate, timeout=120.0):
        deadline = time.time() + timeout
        seen = self.windows()
        while not predicate(seen) and time.time() < deadline:
            time.sleep(0.2)
            seen = self.windows()
        return seen

    def command(self, command_id):
        """Posts WM_COMMAND to the download window (its class is the package identifier);
        True when it was posted. Tried again only while the program runs: once it has ended,
        no window will take the command."""
        return h.post_to_class(self.id, WM_COMMAND, command_id, 0,
                               wanted=lambda: self.proc.poll() is None).returncode == 0

    def quit(self, timeout=120):
        if self.proc.poll() is None:
            self.command(2026)
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return None

    def stop(self):
        h.stop(self.proc)


def clean_download(folder, names):
    """Deletes the package files (and partial files) a test downloaded into `folder`."""
    for name in names:
        for path in glob.glob(os.path.join(folder, glob.escape(name) + "*")):
            os.remove(path)


def record_done(path):
    """Bytes the engine's progress record (target + ".P2P.rec") says are on disk; 0 if none.
    Layout: "VXP2PREC", version, block size (u32), total (u64), two text lengths (u32),
    the texts, then one bit per block."""
    try:
        with open(path, "rb") as f:
            data = f.read()
        if data[:8] != b"VXP2PREC":
            return 0
        block, total = struct.unpack_from("<IQ", data, 12)
        text_lengths = struct.unpack_from("<II", data, 24)
        bits = data[32 + sum(text_lengths):]
        done = 0
        for index in range((total + block - 1) // block):
            if bits[index // 8] >> (index % 8) & 1:
                done += min(block, total - index * block)
        return done
    except (OSError, struct.error, IndexError):
        return 0


def md5_of(path):
    digest = hashlib.md5()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    return digest.hexdigest()

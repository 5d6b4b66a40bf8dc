"""What the end-to-end tests of the program and of the download window stand on: the local
test server, the package documents published on it, and stamped programs followed through
their trace. harness.py underneath runs Windows programs under Wine and looks at the screen.

A stamped copy of the program (test build) writes one UTF-8 line per visible step into the
file that VEXA_TRACE_LOG names: the main window's reports and hand-over ("report finished
5", "handover download built-in", ...) and the download window's own trace ("mode 0", "path
C:\\...", "verified", "prompt ..."). dlwindow_host.exe (tests/workflow/DLWindowHost.cpp)
prints the same trace of the download window alone, plus lines of its own ("window X Y",
"mouse up X Y", "exit N"); its output goes to the same kind of file. Paths in the trace are
Windows paths: to_unix() maps them back.
"""

import getpass
import hashlib
import itertools
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

import dlwindow_ids as ids
import harness as h
from harness import to_unix  # noqa: F401 (the tests' name for it)

SERVER = os.environ.get("VEXA_TEST_SERVER") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "server", "vexa_test_server.py")
DLWINDOW_HOST = os.environ.get("VEXA_DLWINDOW_HOST", "")
WM_COMMAND = 0x111

# Element centres of the download window, in window coordinates.
ACTION_BUTTON = (520 + 67, 319 + 20)
COMPANION_BOX = (22 + 7, 366 + 7)
_runs = itertools.count(1)


class Server:
    """vexa_test_server.py serving `root` (default: a fresh folder) on a loopback port (a free
    one, or `port` to come back on after a stop), and its control requests."""

    def __init__(self, root=None, port=0, prefix="server-root-"):
        self.root = root or tempfile.mkdtemp(prefix=prefix)
        os.makedirs(self.root, exist_ok=True)
        port_file = os.path.join(self.root, ".port")
        if os.path.exists(port_file):
            os.remove(port_file)
        self.proc = subprocess.Popen([sys.executable, SERVER, "--root", self.root, "--port",
                                      str(port), "--port-file", port_file,
                                      "--idle-timeout", "900"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The port file is written whole once the socket is bound, however long that takes.
        deadline = time.time() + 120
        while not os.path.exists(port_file):
            if self.proc.poll() is not None or time.time() > deadline:
                raise AssertionError("the test server did not start on port %s" % port)
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read().strip())
        self.host = "127.0.0.1:%d" % self.port

    def url(self, path):
        return "http://%s%s" % (self.host, path)

    def put(self, path, data):
        full = os.path.join(self.root, path.lstrip("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)

    def control(self, path, method="POST"):
        request = urllib.request.Request(self.url(path), method=method,
                                         data=b"" if method == "POST" else None)
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.read()

    def fault(self, path, mode, **params):
        query = "".join("&%s=%s" % item for item in params.items())
        self.control("/__fault?path=%s&mode=%s%s" % (path, mode, query))

    def release(self, path):
        """Lets the requests that a "held" fault keeps waiting for `path` be answered."""
        self.control("/__release?path=%s" % path)

    def clear_faults(self):
        self.control("/__fault/clear")

    def log(self):
        """Every recorded request: [{"seq", "time_ms", "method", "target", "headers", "sent"}]."""
        return json.loads(self.control("/__log", method="GET"))

    def requests(self, path):
        """The recorded requests for `path` (their query ignored)."""
        return [e for e in self.log() if e["target"].split("?")[0] == path]

    def bytes_sent(self, path):
        """Body bytes the server sent for `path` (its query ignored), over every request."""
        return sum(e.get("sent", 0) for e in self.requests(path))

    def stop(self, keep_root=False):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=60)
        if not keep_root:
            shutil.rmtree(self.root, ignore_errors=True)


def write_document(server, package_id, sizes, links, md5s=(), game_name="Starfall",
                   game_start=None, new_version="1.1.0.1011", safecheck="1", skin_link=None,
                   embed_link=None, quillet_link=None):
    """Serves the configuration document of `package_id`; the lines of what is None or empty
    are left out."""
    game = ["GameName=" + game_name, "GameSize=" + ",".join(str(s) for s in sizes),
            "GameDownloadLink=" + ",".join(links)]
    game += ["GameMd5=" + ",".join(md5s)] if md5s else []
    game += ["GameStart=" + game_start] if game_start is not None else []
    downloader = ["NewVersion=" + new_version]
    downloader += ["SkinLink=" + skin_link] if skin_link else []
    downloader += ["EmbedLink2=" + embed_link] if embed_link else []
    quillet = ["safecheck=" + safecheck]
    quillet += ["QuilletDownloaderLink=" + quillet_link] if quillet_link else []
    lines = (["[GameConfig]"] + game + ["GameVersion=2.0.1", "[DownLoader]"] + downloader +
             ["[Quillet]"] + quillet)
    server.put("/publish/tool/muldown/%s.html" % package_id,
               ("\r\n".join(lines) + "\r\n").encode("utf-8"))


def publish(server, package_id, files, links=None, skin=None, md5_case=str.lower, game_start=None,
            **document):
    """Serves `files` ([(name, bytes)]) under /files/ and the document that lists them.
    `links` replaces the files' links (for hostile names); `skin` (bytes) is served as the
    skin image; `md5_case` writes each digest into the document. Returns [(name, bytes, md5)]."""
    listed = []
    for name, data in files:
        server.put("/files/" + name, data)
        listed.append((name, data, hashlib.md5(data).hexdigest()))
    skin_path = "/skin/%s.png" % package_id.strip("{}")
    if skin is not None:
        server.put(skin_path, skin)
    write_document(server, package_id, [len(d) for _, d, _ in listed],
                   links or [server.url("/files/" + name) for name, _, _ in listed],
                   [md5_case(m) for _, _, m in listed], game_start=game_start or listed[0][0],
                   skin_link=server.url(skin_path) if skin is not None else None, **document)
    return listed


class Package:
    """Generated files of `sizes` (or `contents`, [(name, bytes)]) published for the download
    window; `quillet` is the path of the companion installer, `embed_link` the page of the
    window's page area (none: the default picture)."""

    def __init__(self, server, package_id, sizes, seed=1, safecheck="1", quillet=None,
                 contents=None, game_start=None, md5_case=str.lower, embed_link=None):
        if contents is None:
            contents = []
            for index, size in enumerate(sizes):
                data = bytes((i * 7 + index * 13 + seed) & 0xFF for i in range(min(size, 65536)))
                data = (data * (size // len(data) + 1))[:size]
                contents.append(("part%d_%s.bin" % (index, package_id.strip("{}")[:8]), data))
        self.files = publish(server, package_id, contents, md5_case=md5_case,
                             game_start=game_start, new_version="1.0.0.1", safecheck=safecheck,
                             embed_link=embed_link,
                             quillet_link=server.url(quillet) if quillet else None)


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


class Program:
    """A stamped copy of the program (test build) for `package_id` against `server_host`,
    started under Wine, and its trace."""

    PROGRAM = h.TEST_BUILD_PROGRAM
    SHOTS = "program"  # the screenshots' folder under the artefacts

    def __init__(self, folder, name, package_id, server_host, *args, env=None,
                 publisher_keys=()):
        os.makedirs(folder, exist_ok=True)
        self.id = package_id
        self.exe = h.stamp(os.path.join(folder, name + ".exe"), package_id, program=self.PROGRAM,
                           config_server=server_host, stats_server=server_host,
                           publisher_keys=publisher_keys)
        # A trace per run: a test may start the same copy again after a kill.
        self.trace = os.path.join(folder, "%s.%d.trace" % (name, next(_runs)))
        if os.path.exists(self.trace):
            os.remove(self.trace)
        self.cursor = 0
        self.origin = None  # the window's top left corner on the screen, once known
        self.started = time.monotonic()
        self.proc = self.start(args, env)

    def start(self, args, env):
        return h.start(self.exe, *args,
                       env=dict({"VEXA_TRACE_LOG": h.windows_path(self.trace)}, **(env or {})))

    def lines(self):
        try:
            with open(self.trace, "rb") as f:
                text = f.read().decode("utf-8", "replace")
        except FileNotFoundError:
            return []
        # Only whole lines: the last one may still be on its way.
        return [line.rstrip("\r") for line in text.split("\n")[:-1]]

    seen = property(lines)

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
            time.sleep(0.05)

    def expect(self, test, prefix, timeout=120.0):
        line = self.wait_for(prefix, timeout)
        if line is None:
            test.fail("no trace line %r; the trace:\n  %s\n%s" % (
                prefix, "\n  ".join(self.lines()[-60:]), self.proc.describe()))
        return line

    def running(self):
        return self.proc.poll() is None

    def message(self, msg, wparam, lparam=0, seconds=60):
        """Posts a message to the download window (its class is the package identifier);
        True when it was posted, False when the program has ended meanwhile (no window takes
        it then)."""
        outcome = h.post_to_class(self.id, msg, wparam, lparam, seconds, wanted=self.running)
        if outcome.returncode != 0 and self.running():
            raise AssertionError("posting %#x(%s) failed: %s" % (msg, wparam, outcome.describe()))
        return outcome.returncode == 0

    def command(self, command_id):
        # Posted: a command that opens a prompt returns only when the prompt has ended.
        return self.message(WM_COMMAND, command_id)

    def visible(self):
        return h.driver("visible-class", self.id).stdout.strip() == "1"

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
        """The program's windows once `predicate` holds for them, or after `timeout` seconds."""
        deadline = time.time() + timeout
        seen = self.windows()
        while not predicate(seen) and time.time() < deadline:
            time.sleep(0.2)
            seen = self.windows()
        return seen

    def screenshot(self, name, painted=None):
        """The download window (once its place is known) or the whole screen, as
        ARTIFACTS/SHOTS/NAME.png. A window that has just opened may not have painted yet: the
        picture is taken again until it shows more than one colour, and `painted` (an area
        (x, y, width, height) of the window, such as a picture that has just replaced another
        element) too."""
        crop = (680, 420) + self.origin if self.origin else None
        deadline = time.monotonic() + 15
        while True:
            path = h.screenshot(name, self.SHOTS, crop)
            shown = not h.single_colour(path) and not (painted and h.single_colour(path, painted))
            if shown or time.monotonic() > deadline:
                return path
            time.sleep(0.2)

    def quit(self, timeout=120):
        """Posts the quit command and waits for the end; the exit code, None if it had to be
        killed."""
        if self.running():
            self.command(ids.QUIT)
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return None

    def kill(self):
        """Ends it at once, as a crash or a kill -9 would."""
        if self.running():
            self.proc.kill()
            self.proc.wait()

    def stop(self):
        h.stop(self.proc)


class Host(Program):
    """A stamped copy of dlwindow_host.exe for `package_id` against `server`: the download
    window alone, as the program shows it once its configuration is read."""

    PROGRAM = DLWINDOW_HOST
    SHOTS = "dlwindow"

    def __init__(self, folder, package_id, server, *args):
        super().__init__(folder, "dlwindow_" + package_id.strip("{}")[:8], package_id,
                         server.host, *args)

    def start(self, args, env):
        return h.start(self.exe, *args, env=env, out=self.trace)  # it prints its trace

    def start_window(self):
        """Waits for the window; returns its top left corner on the screen. What came before
        it stays there for wait_for()."""
        cursor, line = self.cursor, self.wait_for("window ")
        self.cursor = cursor
        if line is None:
            raise AssertionError("no window; output: %r" % self.seen)
        self.origin = tuple(int(n) for n in line.split()[1:])
        return self.origin

    def click(self, point, timeout=60):
        """Clicks at `point` (window coordinates) and returns once the window has taken in the
        release, before it acts on it; a click that never arrives is named at once."""
        x, y = self.origin[0] + point[0], self.origin[1] + point[1]
        h.click(x, y)
        if self.wait_for("mouse up", timeout) is None:
            raise AssertionError("the click at %s (screen %d, %d) never reached the window; "
                                 "output: %r" % (point, x, y, self.seen[-20:]))

    def quit(self, timeout=60):
        """The host's last word, "exit <what its message loop returned>"; None without one."""
        super().quit(timeout)
        return next((l for l in reversed(self.lines()) if l.startswith("exit ")), None)


def desktop_folder():
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", getpass.getuser(), "Desktop")


def clean_download(folder, names):
    """Deletes the package files (and partial files) a test downloaded into `folder`."""
    for name in names:
        for path in os.listdir(folder) if os.path.isdir(folder) else []:
            if path.startswith(name):
                os.remove(os.path.join(folder, path))


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

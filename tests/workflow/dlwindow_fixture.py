"""A stamped download-window host, the local test server and the package it serves.

Used by test_dlwindow.py. The host prints one line per visible change of the window (see
DLWindowHost.cpp); Host.wait_for() reads them. Paths the window prints are Windows paths and
are mapped back to this machine's with to_unix().
"""

import hashlib
import os
import queue
import subprocess
import tempfile
import threading
import time

import harness as h
from harness import to_unix  # noqa: F401 (the tests' name for it)
from server_client import Server  # noqa: F401 (the tests' name for it)

HOST_EXE = os.environ.get("VEXA_DLWINDOW_HOST", "")
ARTIFACTS = os.path.join(os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir()), "dlwindow")


def _single_colour(path, area=None):
    """True when the picture at PATH (or its AREA, (x, y, width, height)) is one flat colour,
    or cannot be read."""
    crop = ["-crop", "%dx%d+%d+%d" % (area[2], area[3], area[0], area[1]), "+repage"] if area else []
    out = subprocess.run(["convert", path, *crop, "-format", "%k", "info:"], capture_output=True,
                         text=True)
    return out.returncode != 0 or out.stdout.strip() in ("", "1")


# Element centres in window coordinates.
ACTION_BUTTON = (520 + 67, 319 + 20)
COMPANION_BOX = (22 + 7, 366 + 7)


class Package:
    """Files served under /files/ and the configuration document that lists them."""

    def __init__(self, server, package_id, sizes, seed=1, safecheck="1", quillet=None,
                 extra="", contents=None, game_start=None, md5_case=str.lower, embed_link=None):
        """`contents`: [(name, bytes)] served instead of generated files of `sizes`;
        `embed_link`: the page of the window's page area (none: the default picture)."""
        self.server = server
        self.files = []
        if contents is None:
            contents = []
            for index, size in enumerate(sizes):
                data = bytes((i * 7 + index * 13 + seed) & 0xFF for i in range(min(size, 65536)))
                data = (data * (size // len(data) + 1))[:size]
                contents.append(("part%d_%s.bin" % (index, package_id.strip("{}")[:8]), data))
        for name, data in contents:
            server.put("/files/" + name, data)
            self.files.append((name, data, hashlib.md5(data).hexdigest()))
        links = ",".join(server.url("/files/" + name) for name, _, _ in self.files)
        document = ("[GameConfig]\r\nGameName=Starfall\r\nGameSize=%s\r\nGameDownloadLink=%s\r\n"
                    "GameMd5=%s\r\nGameStart=%s\r\nGameVersion=2.0.1\r\n%s"
                    "[DownLoader]\r\nNewVersion=1.0.0.1\r\n%s[Quillet]\r\nsafecheck=%s\r\n"
                    % (",".join(str(len(d)) for _, d, _ in self.files), links,
                       ",".join(md5_case(m) for _, _, m in self.files),
                       self.files[0][0] if game_start is None else game_start, extra,
                       "EmbedLink2=%s\r\n" % embed_link if embed_link else "", safecheck))
        if quillet:
            document += "QuilletDownloaderLink=%s\r\n" % server.url(quillet)
        server.put("/publish/tool/muldown/%s.html" % package_id, document.encode("ascii"))


class Host:
    """One stamped copy of dlwindow_host.exe, its output on a queue."""

    def __init__(self, folder, package_id, server, *args, prefix_command=()):
        os.makedirs(folder, exist_ok=True)
        self.exe = os.path.join(folder, "dlwindow_%s.exe" % package_id.strip("{}")[:8])
        subprocess.run([h.STAMP, "--in", HOST_EXE, "--out", self.exe, "--id", package_id,
                        "--config-server", server.host, "--stats-server", server.host],
                       check=True)
        self.id = package_id
        self.lines = queue.Queue()
        self.seen = []
        self.cursor = 0
        self.proc = subprocess.Popen([*prefix_command, "wine", self.exe, *args],
                                     env=h.wine_env(), stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                                     text=True, encoding="utf-8", errors="replace")
        threading.Thread(target=self._read, daemon=True).start()
        self.origin = None

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def wait_for(self, prefix, timeout=90.0):
        """The first line after the last one found that starts with `prefix`, or None."""
        deadline = time.time() + timeout
        while True:
            for index in range(self.cursor, len(self.seen)):
                if self.seen[index].startswith(prefix):
                    self.cursor = index + 1
                    return self.seen[index]
            if not self._read_one(deadline):
                return None

    def _read_one(self, deadline):
        try:
            line = self.lines.get(timeout=max(0.05, deadline - time.time()))
        except queue.Empty:
            return False
        if line is None:
            self.lines.put(None)
            return False
        self.seen.append(line)
        return True

    def start_window(self):
        deadline = time.time() + 120
        while not any(l.startswith("window ") for l in self.seen):
            if not self._read_one(deadline):
                raise AssertionError("no window; output: %r" % self.seen)
        line = next(l for l in self.seen if l.startswith("window "))
        _, x, y = line.split()
        self.origin = (int(x), int(y))
        return self.origin

    def click(self, point, timeout=60):
        """Clicks at `point` (window coordinates) and returns once the window has taken in the
        release, before it acts on it; a click that never arrives is named at once."""
        x, y = self.origin[0] + point[0], self.origin[1] + point[1]
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)
        subprocess.run(["xdotool", "click", "1"], check=True)
        if self.wait_for("mouse up", timeout) is None:
            raise AssertionError("the click at %s (screen %d, %d) never reached the window; "
                                 "output: %r" % (point, x, y, self.seen[-20:]))

    def command(self, command_id):
        # Posted: a command that opens a prompt returns only when the prompt has ended.
        return self.message(0x111, command_id, 0)

    def message(self, msg, wparam, lparam, seconds=60):
        outcome = h.post_to_class(self.id, msg, wparam, lparam, seconds)
        if outcome.returncode != 0:
            raise AssertionError("posting %#x(%s) failed: %s" % (msg, wparam, outcome.describe()))
        return outcome

    def visible(self):
        return h.driver("visible-class", self.id).stdout.strip() == "1"

    def screenshot(self, name, painted=None):
        """`painted`: an area (x, y, width, height) of the window that must show more than
        one colour, such as a picture that has just replaced another element."""
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, name + ".png")
        geometry = "680x420+%d+%d" % self.origin
        # A window that has just opened may not have painted yet: its area is still one flat
        # colour. Take the picture again until it shows something (or give up and keep it).
        deadline = time.monotonic() + 15
        while True:
            subprocess.run(["import", "-window", "root", "-crop", geometry, path], check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shown = not _single_colour(path) and not (painted and _single_colour(path, painted))
            if shown or time.monotonic() > deadline:
                return path
            time.sleep(0.2)

    def quit(self, timeout=60):
        if self.proc.poll() is None:
            # Tried again only while the program runs: it may be ending by itself, its window
            # already gone.
            h.post_to_class(self.id, 0x111, 2026, 0, wanted=lambda: self.proc.poll() is None)
        line = self.wait_for("exit", timeout)
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        return line

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

"""Runs Windows programs under Wine so that a failing test says what happened.

Every run keeps the program's exit code, its output, Wine's own error output (loader and
server messages, crash dumps) and how long it ran; describe() puts them in one text for the
assertion message, so that a single red run is enough to diagnose.

Output goes through files rather than pipes where the caller only wants it at the end: Wine
services that a program starts (the desktop process on the first window) inherit its
handles and can keep a pipe open long after the program has ended.
"""

import argparse
import itertools
import os
import subprocess
import tempfile
import threading
import time

# Start-up of a Windows program on a loaded two-core machine can take many seconds; these
# bounds only keep a hung program from hanging the test run.
DEFAULT_TIMEOUT = 300
TAIL_LINES = 15
# When set (scripts/stress-tests.sh --winedebug does), every described run also leaves its
# whole output and Wine's whole error output in a file there: Wine's trace channels write far
# more than a tail can show, and only the runs a test reports on are kept.
LOG_DIR_VARIABLE = "VEXA_WINE_LOG_DIR"
_kept = itertools.count(1)


def _tail(text, lines=TAIL_LINES):
    rows = (text or "").rstrip("\n").splitlines()
    shown = rows[-lines:]
    skipped = "  (%d earlier lines)\n" % (len(rows) - len(shown)) if len(rows) > len(shown) else ""
    return skipped + "".join("  | %s\n" % r for r in shown) if shown else "  (none)\n"


class _ServerLog:
    """What the wine server wrote to its error output (VEXA_WINESERVER_LOG, see
    scripts/env.sh) while one program ran: the server ends a program it finds at fault with
    exit code 1 and says why only there."""

    def __init__(self):
        self.path = os.environ.get("VEXA_WINESERVER_LOG", "")
        self.start = self._size()

    def _size(self):
        try:
            return os.path.getsize(self.path) if self.path else 0
        except OSError:
            return 0

    def text(self):
        if not self.path or self._size() <= self.start:
            return ""
        with open(self.path, "rb") as f:
            f.seek(self.start)
            return f.read().decode("utf-8", "replace")


class Outcome:
    """What one run of a program left behind."""

    def __init__(self, args, returncode, stdout, stderr, seconds, timed_out=False, server=""):
        self.args = args
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr
        self.seconds = seconds
        self.timed_out = timed_out
        self.server = server

    def describe(self):
        if self.timed_out:
            end = "killed after the %.1f s time-out" % self.seconds
        else:
            end = "exit %s after %.1f s" % (self.returncode, self.seconds)
        text = "%s: %s\nlast output lines:\n%sWine's error output:\n%s" % (
            " ".join(os.path.basename(str(a)) for a in self.args[:2]), end, _tail(self.stdout),
            _tail(self.stderr))
        if self.server:
            text += "the wine server's error output meanwhile:\n" + _tail(self.server)
        kept = self._keep(text)
        return text + ("whole output kept in %s\n" % kept if kept else "")

    def _keep(self, summary):
        folder = os.environ.get(LOG_DIR_VARIABLE)
        if not folder:
            return None
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "%d-%d-%s.txt" % (
            os.getpid(), next(_kept), os.path.basename(str(self.args[1] if len(self.args) > 1
                                                           else self.args[0]))))
        with open(path, "w", encoding="utf-8", errors="replace") as f:
            f.write("%s\n%s\n\n== output ==\n%s\n== Wine's error output ==\n%s" % (
                " ".join(str(a) for a in self.args), summary, self.stdout, self.stderr))
        return path


def _read_file(f):
    f.flush()
    f.seek(0)
    return f.read().decode("utf-8", "replace")


def run(args, env=None, timeout=DEFAULT_TIMEOUT, cwd=None):
    """Runs `args` (starting with "wine") to its end; returns an Outcome, also on time-out."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        server = _ServerLog()
        t0 = time.monotonic()
        process = subprocess.Popen(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=err)
        timed_out = False
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            timed_out = True
            process.kill()
            process.wait()
        return Outcome(args, process.returncode, _read_file(out), _read_file(err),
                       time.monotonic() - t0, timed_out, server.text())


class Started(subprocess.Popen):
    """A program running beside the test (a Popen that remembers what it said).

    With `capture` its output lines are read with readline() or lines() as they come;
    without, the output goes to a file: a temporary one, or `out`, which stays. describe()
    reports on the run so far (or its end).
    """

    def __init__(self, args, env=None, cwd=None, capture=True, out=None):
        self._err = tempfile.TemporaryFile()
        # Appended to, so that reading it meanwhile never moves where the program writes.
        self._out = open(out, "a+b") if out else None if capture else tempfile.TemporaryFile()
        self._server = _ServerLog()
        self._t0 = time.monotonic()
        self._end = None
        self._seen = []
        self._closed = None  # the Outcome, once close() let go of the output files
        super().__init__(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                         stdout=self._out or subprocess.PIPE, stderr=self._err,
                         text=True, encoding="utf-8", errors="replace")

    def readline(self):
        line = self.stdout.readline()
        self._seen.append(line)
        return line

    def lines(self):
        """Yields output lines until the program closes its output."""
        for line in self.stdout:
            self._seen.append(line)
            yield line

    def output(self):
        return _read_file(self._out) if self._out else "".join(self._seen)

    def finish(self, timeout=DEFAULT_TIMEOUT):
        """Reads the rest of the output and waits for the end; returns the Outcome."""
        reader = None
        if self.stdout:
            reader = threading.Thread(target=lambda: [None for _ in self.lines()], daemon=True)
            reader.start()
        try:
            self.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            self.wait()
            return self.outcome(timed_out=True)
        if reader:
            # The output ends when the last holder of the pipe lets go; a Wine service that
            # inherited it must not hold the test up, so this wait is bounded.
            reader.join(timeout=60)
        return self.outcome()

    def wait(self, timeout=None):
        code = super().wait(timeout=timeout)
        if self._end is None:
            self._end = time.monotonic()
        return code

    def outcome(self, timed_out=False):
        if self._closed:
            return self._closed  # what it left when it was let go of
        if self._end is None and self.poll() is not None:
            self._end = time.monotonic()
        seconds = (self._end or time.monotonic()) - self._t0
        return Outcome(self.args, self.returncode, self.output(), _read_file(self._err), seconds,
                       timed_out, self._server.text())

    def describe(self):
        return self.outcome().describe()

    def close(self):
        """Kills the program if it still runs and lets go of its files; describe() still
        reports on the run afterwards."""
        if self._closed:
            return
        if self.poll() is None:
            self.kill()
        self.wait()
        self._closed = self.outcome()
        if self.stdout:
            self.stdout.close()
        for f in (self._err, self._out):
            if f:
                f.close()


def program_and_output_arguments():
    """The arguments of a script that drives one test program: --exe (the program) and --out
    (a folder for its screenshots, made here)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    return args

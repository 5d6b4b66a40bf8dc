#!/usr/bin/env python3
"""Starts stamped copies of the program one at a time, as a new user would, and records
every start that shows no window: its exit code and the path start-up reports in its log
(VEXA_STARTUP_LOG). Run through scripts/startup_repro.sh, which provides the display and
the Wine prefix.

    startup_repro.py --starts 300 --loaded 150 [--gap-min 0 --gap-max 4]
                     [--watch xdotool|driver] [--end quit|terminate]
                     [--winedebug=-all,err+all,+process] [--keep-traces]

The first STARTS-LOADED starts run on the machine as it is, the last LOADED ones beside
`stress-ng --cpu 2`. Between starts the script waits a random time between --gap-min and
--gap-max seconds, so starts also meet the Wine session while it winds down after the previous
program (the wine server ends its helper processes a few seconds after the last program).
"""

import argparse
import collections
import os
import random
import shutil
import signal
import subprocess
import sys
import time
import uuid

TITLE = "^VexaYoral"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def visible_window(title=TITLE):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return result.stdout.split()[0] if result.stdout.strip() else None


def read_log(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.strip() for line in f if line.strip()]
    except OSError:
        return []


class Runner:
    def __init__(self, args):
        self.args = args
        self.build = os.environ["VEXA_BUILD_DIR"]
        self.program = os.path.join(self.build, "win", "src", "app", "VexaYoral.exe")
        self.stamp = os.path.join(self.build, "host", "tools", "vexa_stamp")
        self.driver = os.path.join(self.build, "win", "tests", "support", "vexa_testdriver.exe")
        self.folder = args.folder
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        # Private copies: a rebuild during a long run must not swap the program or the
        # stamping tool under it.
        for name in ("program", "stamp", "driver"):
            copy = os.path.join(self.folder, os.path.basename(getattr(self, name)))
            shutil.copy2(getattr(self, name), copy)
            setattr(self, name, copy)
        self.env = dict(os.environ)
        self.results = []

    def stamped_copy(self, index):
        exe = os.path.join(self.folder, "copy_%03d.exe" % index)
        package_id = "{%s}" % str(uuid.uuid4()).upper()
        subprocess.run([self.stamp, "--in", self.program, "--out", exe, "--id", package_id],
                       check=True, stdout=subprocess.DEVNULL)
        return exe

    def driver_sees_window(self):
        result = subprocess.run(["wine", self.driver, "count-windows", "VexaYoral"], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True, timeout=120)
        return "window" if result.stdout.strip() not in ("", "0") else None

    def close_program(self, process):
        """Ends the program: its quit message (as its window would post it) or SIGTERM (as
        the end-to-end tests stop it); then waits for its end."""
        if self.args.end == "terminate":
            process.terminate()
        else:
            subprocess.run(["wine", self.driver, "post-quit", "VexaYoral", "0"], env=self.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=120)
        try:
            return process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            process.kill()
            return process.wait()

    def wait_window(self, deadline, process=None):
        """Waits for the window until the deadline or, with `process`, until it ends."""
        while time.time() < deadline:
            window = self.driver_sees_window() if self.args.watch == "driver" else visible_window()
            if window or (process is not None and process.poll() is not None):
                return window
            time.sleep(0.1)
        return None

    def close_fresh_copy(self):
        """Ends a copy that is not this script's child: its quit message, then waits until
        its window is gone."""
        subprocess.run(["wine", self.driver, "post-quit", "VexaYoral", "0"], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        deadline = time.time() + 60
        while visible_window() and time.time() < deadline:
            time.sleep(0.1)

    def one_start(self, index, loaded):
        exe = self.stamped_copy(index)
        log = os.path.join(self.folder, "start_%03d.log" % index)
        # Wine's own complaints (a display driver that did not load, a desktop that did not
        # come up) go to a file per start; only errors, so the file stays small.
        env = dict(self.env, VEXA_STARTUP_LOG=windows_path(log), WINEDEBUG=self.args.winedebug)
        wine_errors = os.path.join(self.folder, "start_%03d.wine.txt" % index)
        started = time.time()
        with open(wine_errors, "w") as errors:
            process = subprocess.Popen(["wine", exe], env=env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=errors)
        deadline = started + self.args.window_seconds
        window = self.wait_window(deadline, process)
        fresh = False
        if not window and process.poll() is not None and any(
                "started again" in line for line in read_log(log)):
            # The start was handed to a fresh process, whose window counts (marked).
            window = self.wait_window(deadline)
            fresh = bool(window)
        seconds = time.time() - started
        if fresh:
            code = process.returncode
            self.close_fresh_copy()
            outcome = "window"
        elif window:
            code = self.close_program(process)
            outcome = "window"
        elif process.poll() is not None:
            code = process.returncode
            outcome = "exited"
        else:
            process.send_signal(signal.SIGKILL)
            code = process.wait()
            outcome = "no window in %ds" % self.args.window_seconds
        lines = read_log(log)
        if outcome != "window" or lines:
            lines += ["wine: " + line for line in read_log(wine_errors)[-5:]]
        elif not self.args.keep_traces:
            os.remove(wine_errors)
        record = dict(index=index, loaded=loaded, outcome=outcome, code=code,
                      seconds=round(seconds, 2), log=lines)
        self.results.append(record)
        mark = "ok  " if outcome == "window" and not lines else (
            "ok* " if fresh else "FAIL")
        print("%s %3d %-6s %-18s exit %-4s %5.1fs %s" % (
            mark, index, "loaded" if loaded else "idle", outcome, code, seconds,
            " | ".join(lines)), flush=True)

    def run(self):
        rng = random.Random(self.args.seed)
        stress = None
        try:
            for index in range(1, self.args.starts + 1):
                loaded = index > self.args.starts - self.args.loaded
                if loaded and stress is None:
                    stress = subprocess.Popen(["nice", "stress-ng", "--cpu", "2", "--quiet"],
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.one_start(index, loaded)
                time.sleep(rng.uniform(self.args.gap_min, self.args.gap_max))
        finally:
            if stress is not None:
                stress.terminate()  # SIGINT is ignored when this script runs in the background
                try:
                    stress.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    stress.kill()
        return self.summary()

    def summary(self):
        failed = [r for r in self.results if r["outcome"] != "window" or r["log"]]
        for loaded in (False, True):
            part = [r for r in self.results if r["loaded"] == loaded]
            shown = sum(1 for r in part if r["outcome"] == "window")
            print("%s: %d starts, %d showed the window" % (
                "under stress-ng --cpu 2" if loaded else "without load", len(part), shown))
        paths = collections.Counter()
        for r in failed:
            paths[(r["outcome"], r["code"], " | ".join(r["log"]) or "(no log line)")] += 1
        for (outcome, code, lines), count in sorted(paths.items(), key=lambda p: -p[1]):
            print("  %3d x %s, exit %s: %s" % (count, outcome, code, lines))
        return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--starts", type=int, default=300)
    parser.add_argument("--loaded", type=int, default=150)
    parser.add_argument("--gap-min", type=float, default=0.0)
    parser.add_argument("--gap-max", type=float, default=4.0)
    parser.add_argument("--window-seconds", type=int, default=60)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--watch", choices=["xdotool", "driver"], default="xdotool",
                        help="look for the window from X (no Wine process) or with the "
                             "test driver under Wine")
    parser.add_argument("--end", choices=["quit", "terminate"], default="quit",
                        help="end each copy with its quit message or with SIGTERM")
    parser.add_argument("--winedebug", default="-all,err+all",
                        help="Wine's trace channels for each start; the trace of a start "
                             "without a window is kept as start_N.wine.txt")
    parser.add_argument("--keep-traces", action="store_true",
                        help="keep the traces of starts that showed their window too")
    parser.add_argument("--folder", default=os.path.join(
        os.environ.get("VEXA_BUILD_DIR", "build"), "startup-repro"))
    args = parser.parse_args()
    sys.exit(Runner(args).run())


if __name__ == "__main__":
    main()

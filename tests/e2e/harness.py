"""Runs the real program and the test programs under Wine, and looks at the screen, for the
end-to-end tests (fixture.py builds on it).

ctest passes the paths of the built pieces in the environment (vexa_e2e_test() in
cmake/VexaTargets.cmake): VEXA_PROGRAM (the unstamped program, as shipped),
VEXA_TEST_BUILD_PROGRAM (the same program built with the test-only seams), VEXA_UPLOADER,
VEXA_STAND_IN_INSTALLER, VEXA_STAMP (the host stamping tool), VEXA_TESTDRIVER (a Windows
helper that looks at windows from outside), VEXA_ARTIFACTS (a folder for screenshots and
scratch files). WINEPREFIX and DISPLAY come from scripts/test.sh.
"""

import os
import subprocess
import sys
import tempfile
import time
import unittest
import uuid

import wine_run

PROGRAM = os.environ.get("VEXA_PROGRAM", "")
TEST_BUILD_PROGRAM = os.environ.get("VEXA_TEST_BUILD_PROGRAM", "")
UPLOADER = os.environ.get("VEXA_UPLOADER", "")
STAND_IN_INSTALLER = os.environ.get("VEXA_STAND_IN_INSTALLER", "")
STAMP = os.environ.get("VEXA_STAMP", "")
TESTDRIVER = os.environ.get("VEXA_TESTDRIVER", "")
ARTIFACTS = os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir())

MAIN_TITLE_PREFIX = "VexaYoral"
NO_SERVER = "127.0.0.1:9"  # the discard port: nobody listens there


def new_package_id():
    return "{%s}" % str(uuid.uuid4()).upper()


def scratch_dir(name):
    path = os.path.join(ARTIFACTS, "e2e", name)
    os.makedirs(path, exist_ok=True)
    return path


def stamp(out_path, package_id, config_server=None, stats_server=None, version=None,
          program=None, publisher_keys=()):
    """Makes a copy of the program (or of `program`, for example the uploader) for
    `package_id`, with the given servers (default: none reachable) and publisher keys (key
    texts); returns its path."""
    args = [STAMP, "--in", program or PROGRAM, "--out", out_path, "--id", package_id]
    # Without servers of the test's own, a closed loopback port: the program's first window
    # fetches its configuration at once, and tests send nothing beyond this machine.
    args += ["--config-server", config_server or NO_SERVER]
    args += ["--stats-server", stats_server or NO_SERVER]
    if version:
        args += ["--version", version]
    for key in publisher_keys:
        args += ["--publisher-key", key]
    subprocess.run(args, check=True)
    return out_path


def wine_env():
    """The environment of a Windows program; only here is Wine needed (the test server and
    the documents are not)."""
    missing = [name for name in ("DISPLAY", "WINEPREFIX") if not os.environ.get(name)]
    if missing:
        raise SystemExit("end-to-end tests need %s: run them through scripts/test.sh"
                         % " and ".join(missing))
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
    return env


def start(exe, *args, capture=False, env=None, out=None):
    """Starts a Windows program under Wine; returns a wine_run.Started (a Popen). With
    `capture` its output is read line by line with .readline() (never read it to its end:
    see run()); with `out` it goes to that file. describe() tells what it did so far. `env`
    adds variables to the environment."""
    return wine_run.Started(["wine", exe, *args], env=dict(wine_env(), **(env or {})),
                            capture=capture, out=out)


def run(exe, *args, timeout=120):
    """Runs a Windows program to its end; returns a wine_run.Outcome (returncode, stdout,
    describe()). Its output goes through a file, not a pipe: Wine services that the
    program starts (the desktop process on the first window) inherit the output handles
    and would keep a pipe open long after the program itself has ended."""
    return wine_run.run(["wine", exe, *args], env=wine_env(), timeout=timeout)


def windows_path(path):
    """The path of a host file as the program under Wine sees it (drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def to_unix(path):
    """A path the program printed (C:\\... or Z:\\...) as a path on this machine."""
    drive, rest = path[0].lower(), path[3:].replace("\\", "/")
    if drive == "z":
        return "/" + rest
    return os.path.join(os.environ["WINEPREFIX"], "drive_%s" % drive, rest)


def driver(*args, timeout=120):
    outcome = run(TESTDRIVER, *[str(a) for a in args], timeout=timeout)
    if outcome.timed_out:
        raise AssertionError(outcome.describe())
    return outcome


def driver_on_window(*args, seconds=60):
    """driver(*args) for a command that acts on a window found by title, tried again while no
    such window exists: the program's first window hands over to the next one (the download
    window or a prompt), and for a moment neither is there."""
    deadline = time.time() + seconds
    while True:
        outcome = driver(*args)
        missing = outcome.returncode == 1 and "no window titled that" in (outcome.stderr or "")
        if not missing or time.time() > deadline:
            return outcome
        time.sleep(0.1)


def post_to_class(class_name, msg, wparam, lparam, seconds=60, wanted=lambda: True):
    """Posts a message to the window of class `class_name` through the test driver. A post
    that did not happen (no such window for a moment, or Wine could not start the driver on a
    busy machine) is tried again for `seconds` while `wanted()` holds: a lost command would
    only show much later, as a step that never came. Returns the driver's last outcome."""
    deadline = time.time() + seconds
    while True:
        outcome = driver("post-to-class", class_name, msg, wparam, lparam)
        if outcome.returncode == 0 or not wanted() or time.time() > deadline:
            return outcome
        time.sleep(0.1)


def count_windows(title_prefix=MAIN_TITLE_PREFIX):
    result = driver("count-windows", title_prefix)
    if result.returncode != 0 or not result.stdout.strip().isdigit():
        raise AssertionError("counting windows failed: " + result.describe())
    return int(result.stdout.strip())


def wait_windows(count, title_prefix=MAIN_TITLE_PREFIX, seconds=120):
    """Waits until exactly `count` windows with the title prefix exist; returns the count."""
    deadline = time.time() + seconds
    seen = count_windows(title_prefix)
    while seen != count and time.time() < deadline:
        time.sleep(0.2)
        seen = count_windows(title_prefix)
    return seen


def wait_until(condition, seconds=120.0, what=None):
    """The first true value of condition(), asked every 0.1 s for `seconds`; on time-out its
    last value, or an AssertionError naming `what` when that is given."""
    deadline = time.time() + seconds
    while True:
        value = condition()
        if value or time.time() > deadline:
            break
        time.sleep(0.1)
    if not value and what:
        raise AssertionError("timed out waiting for " + what)
    return value


def screenshot(name, folder="screenshots", crop=None):
    """Saves the whole virtual screen, or its area `crop` (width, height, left, top), as
    ARTIFACTS/FOLDER/NAME.png; returns the path."""
    folder = os.path.join(ARTIFACTS, folder)
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, name + ".png")
    area = ["-crop", "%dx%d+%d+%d" % crop] if crop else []
    subprocess.run(["import", "-window", "root", *area, path], check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def single_colour(path, area=None):
    """True when the picture at PATH (or its AREA, (x, y, width, height)) is one flat colour,
    or cannot be read."""
    crop = ["-crop", "%dx%d+%d+%d" % (area[2], area[3], area[0], area[1]), "+repage"] if area else []
    out = subprocess.run(["convert", path, *crop, "-format", "%k", "info:"], capture_output=True,
                         text=True)
    return out.returncode != 0 or out.stdout.strip() in ("", "1")


def click(x, y):
    """A left click at (x, y) on the screen, as a user's."""
    subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)
    subprocess.run(["xdotool", "click", "1"], check=True)


def stop(process, timeout=30):
    """Ends a program started with start(): asks politely, then kills."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            pass
    process.close()


def run_group(groups, default):
    """Runs the test case of the group named by the first argument (or `default`) and exits
    with 0 when all of it passed: one ctest test per group."""
    group = sys.argv.pop(1) if len(sys.argv) > 1 else default
    suite = unittest.TestLoader().loadTestsFromTestCase(groups[group])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


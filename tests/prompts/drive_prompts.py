#!/usr/bin/python3
"""Clicks real prompts under Wine and X with xdotool and checks how they end.

    drive_prompts.py --exe prompt_show.exe --out <artefact folder>

Needs DISPLAY (an Xvfb), WINEPREFIX and wine on the path. Saves a screenshot of every prompt
as <out>/<case>.png. Exits non-zero when a prompt ends with the wrong result.
"""

import os
import queue
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import wine_run  # noqa: E402

# Element centres in prompt coordinates.
CLOSE_BOX = (369 + 9, 16 + 10)
SECOND_BUTTON = (311 + 39, 158 + 15)
EXTRA_BUTTON = (222 + 39, 158 + 15)
FEEDBACK_LINK = (266 + 20, 91 + 7)
BACKGROUND = (200, 60)


# Bounds against a hang only: on a busy machine Wine alone may take many seconds to start.
WAIT_SECONDS = 120


class Prompt:
    """One run of prompt_show.exe; its output lines arrive on a queue."""

    def __init__(self, exe, name, *extra):
        self.lines = queue.Queue()
        self.seen = []
        self.proc = wine_run.Started(["wine", exe, name, *extra])
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.lines():
            self.lines.put(line.strip())
        self.lines.put(None)

    def wait_for(self, prefix, timeout=WAIT_SECONDS):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=max(0.05, deadline - time.time()))
            except queue.Empty:
                break
            if line is None:
                break
            self.seen.append(line)
            if line.startswith(prefix):
                return line
        return None

    def origin(self):
        line = self.wait_for("prompt ")
        if not line:
            raise RuntimeError("the prompt did not appear\n" + self.proc.describe())
        _, x, y = line.split()
        # The prompt says where it is as it shows itself; X maps it a moment later, and a
        # click before that would land on whatever is below.
        time.sleep(0.3)
        return int(x), int(y)

    def finish(self, timeout=WAIT_SECONDS):
        line = self.wait_for("result ", timeout)
        try:
            self.proc.wait(timeout=WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        if not line:
            print(self.proc.describe())
        return int(line.split()[1]) if line else None

    def kill(self):
        self.proc.close()


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def click(origin, point):
    x, y = origin[0] + point[0], origin[1] + point[1]
    xdotool("mousemove", x, y)
    time.sleep(0.15)
    xdotool("mousedown", 1)
    time.sleep(0.08)
    xdotool("mouseup", 1)


def window_under(point):
    """Moves the pointer to `point` (screen coordinates) and names the X window under it."""
    xdotool("mousemove", *point)
    out = subprocess.run(["xdotool", "getmouselocation", "--shell"], check=True,
                         capture_output=True, text=True).stdout
    return dict(item.split("=", 1) for item in out.split()).get("WINDOW")


def wait_window_under(point, window):
    """Waits until the X server has `window` under `point`: the program may have moved its
    window while X has not yet been told, and a click then lands on whatever was there."""
    deadline = time.time() + WAIT_SECONDS
    while window_under(point) != window:
        if time.time() > deadline:
            raise RuntimeError("the window never reached %s" % (point,))
        time.sleep(0.05)


def screenshot(origin, path):
    x, y = origin
    subprocess.run(["import", "-window", "root", "-crop", f"404x201+{x}+{y}", "+repage", path],
                   check=True, stderr=subprocess.DEVNULL)


def screenshot_screen(path):
    subprocess.run(["import", "-window", "root", path], check=True, stderr=subprocess.DEVNULL)


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, case, what, got, wanted):
        ok = got == wanted
        print(f"{'ok  ' if ok else 'FAIL'} {case}: {what} = {got!r} (expected {wanted!r})")
        if not ok:
            self.failures.append(f"{case}: {what}")


def park_pointer():
    """Moves the pointer off the place where prompts appear, so screenshots show rest looks."""
    xdotool("mousemove", 2, 2)


def run_click(args, checks, case, name, point, expected, *extra, shot=True, hover=False):
    park_pointer()
    prompt = Prompt(args.exe, name, "--owner", *extra)
    try:
        origin = prompt.origin()
        if hover:
            xdotool("mousemove", origin[0] + point[0], origin[1] + point[1])
            time.sleep(0.4)
        if shot:
            screenshot(origin, os.path.join(args.out, f"{case}.png"))
        click(origin, point)
        result = prompt.finish()
        failed = len(checks.failures)
        checks.expect(case, "result", result, expected)
        checks.expect(case, "owner enabled again", "owner-enabled 1" in prompt.seen, True)
        if len(checks.failures) > failed:
            print(prompt.proc.describe())
        return prompt
    finally:
        prompt.kill()


def main():
    args = wine_run.program_and_output_arguments()
    checks = Checks()

    # Every prompt: a screenshot, and its close box answers 0.
    for name in ["direrr", "damaged", "older", "initfailed", "quillet", "dlfailed", "fileerr",
                 "checkfailed", "install", "installed", "diropen"]:
        run_click(args, checks, f"{name}-close", name, CLOSE_BOX, 0)
    run_click(args, checks, "checkfailed-multi-close", "checkfailed", CLOSE_BOX, 0, "--multi")

    # The second and the extra button, with the hover look captured on the way.
    run_click(args, checks, "direrr-second-hover", "direrr", SECOND_BUTTON, 1, hover=True)
    run_click(args, checks, "direrr-extra-hover", "direrr", EXTRA_BUTTON, 2, hover=True)
    run_click(args, checks, "quillet-second", "quillet", SECOND_BUTTON, 1, shot=False)
    run_click(args, checks, "quillet-extra", "quillet", EXTRA_BUTTON, 2, shot=False)
    run_click(args, checks, "install-extra", "install", EXTRA_BUTTON, 2, shot=False)

    # The feedback link: command 17 to the owner, result 3, the prompt stays open; a later
    # button overwrites the result.
    prompt = Prompt(args.exe, "checkfailed", "--owner")
    try:
        origin = prompt.origin()
        click(origin, FEEDBACK_LINK)
        checks.expect("checkfailed-link", "owner got command 17",
                      prompt.wait_for("owner-command 17") is not None, True)
        time.sleep(0.3)
        checks.expect("checkfailed-link", "prompt still open", prompt.proc.poll() is None, True)
        screenshot(origin, os.path.join(args.out, "checkfailed-after-link.png"))
        click(origin, SECOND_BUTTON)
        checks.expect("checkfailed-link", "result after the second button", prompt.finish(), 1)
    finally:
        prompt.kill()

    # Retry of the initialisation prompt: a new main window, and the loop goes on.
    prompt = Prompt(args.exe, "initfailed")
    try:
        origin = prompt.origin()
        click(origin, EXTRA_BUTTON)
        checks.expect("initfailed-retry", "new main window",
                      prompt.wait_for("main-window") is not None, True)
        checks.expect("initfailed-retry", "loop still running",
                      prompt.wait_for("main-window-still-looping") is not None, True)
        checks.expect("initfailed-retry", "result", prompt.finish(), 2)
    finally:
        prompt.kill()

    # Dragging by the background moves the prompt: its close box then answers at the new place.
    prompt = Prompt(args.exe, "diropen", "--owner")
    try:
        origin = prompt.origin()
        close_box = (origin[0] + CLOSE_BOX[0], origin[1] + CLOSE_BOX[1])
        prompt_window = window_under(close_box)
        xdotool("mousemove", origin[0] + BACKGROUND[0], origin[1] + BACKGROUND[1])
        time.sleep(0.1)
        xdotool("mousedown", 1)
        # The move counts from where the pointer is when it begins: on a busy machine the
        # prompt may take the button late, after moves already sent, and end up short.
        checks.expect("diropen-drag", "move began", prompt.wait_for("move-start") is not None,
                      True)
        for step in range(1, 11):
            xdotool("mousemove", origin[0] + BACKGROUND[0] + 6 * step,
                    origin[1] + BACKGROUND[1] + 4 * step)
            time.sleep(0.05)
        xdotool("mouseup", 1)
        moved = (origin[0] + 60, origin[1] + 40)
        checks.expect("diropen-drag", "prompt at the new place",
                      prompt.wait_for("moved %d %d" % moved) is not None, True)
        wait_window_under((moved[0] + CLOSE_BOX[0], moved[1] + CLOSE_BOX[1]), prompt_window)
        screenshot_screen(os.path.join(args.out, "diropen-dragged-screen.png"))
        click(moved, CLOSE_BOX)
        checks.expect("diropen-drag", "result at the moved close box", prompt.finish(), 0)
    finally:
        prompt.kill()

    # Closed from outside: WM_CLOSE ends the loop as result 0 and enables the owner.
    prompt = Prompt(args.exe, "dlfailed", "--owner", "--close-after", "900")
    try:
        checks.expect("dlfailed-wm-close", "result", prompt.finish(), 0)
        checks.expect("dlfailed-wm-close", "owner enabled again",
                      "owner-enabled 1" in prompt.seen, True)
    finally:
        prompt.kill()

    if checks.failures:
        print("FAILED:", ", ".join(checks.failures))
        return 1
    print("all prompt checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

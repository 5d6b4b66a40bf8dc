#!/usr/bin/python3
"""Runs page_show.exe under Wine and X: the failing page must give way to the default
picture, and the program must end cleanly. Saves a screenshot of the page area.

    page_fallback.py --exe page_show.exe --out <artefact folder>
"""

import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import wine_run  # noqa: E402

# Bounds against a hang only: on a busy machine Wine alone may take many seconds to start.
WAIT_SECONDS = 180


def main():
    args = wine_run.program_and_output_arguments()
    subprocess.run(["xdotool", "mousemove", "2", "2"], check=False)
    proc = wine_run.Started(["wine", args.exe, "http://127.0.0.1:9/"])
    lines = []
    changed = threading.Condition()

    def read():
        for line in proc.lines():
            with changed:
                lines.append(line.strip())
                changed.notify_all()
        with changed:
            lines.append(None)  # the end of the output
            changed.notify_all()

    threading.Thread(target=read, daemon=True).start()

    def window_origin():
        for line in lines:
            if line and line.startswith("window "):
                return tuple(int(v) for v in line.split()[1:3])
        return None

    with changed:
        changed.wait_for(lambda: None in lines or ("default-page" in lines and window_origin()),
                         timeout=WAIT_SECONDS)
        origin = window_origin()
        shown = "default-page" in lines
    if origin and shown:
        time.sleep(0.5)  # for the picture only: the page's first paint
        subprocess.run(["import", "-window", "root", "-crop", f"680x420+{origin[0]}+{origin[1]}",
                        "+repage", os.path.join(args.out, "page-fallback.png")],
                       check=False, stderr=subprocess.DEVNULL)
    try:
        proc.wait(timeout=WAIT_SECONDS)
    except subprocess.TimeoutExpired:
        print("FAIL: the page host did not end (hang)")
        print(proc.describe())
        proc.close()
        return 1
    # Its last line may still be on the way; a Wine service holding the pipe must not make
    # the wait endless.
    with changed:
        changed.wait_for(lambda: None in lines or "done" in lines, timeout=60)
        seen = [line for line in lines if line is not None]
    print("\n".join(seen))
    ok = "default-page" in seen and "done" in seen and proc.returncode == 0
    print("page fallback", "passed" if ok else "FAILED")
    if not ok:
        print(proc.describe())
    proc.close()
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Runs page_show.exe under Wine and X: the failing page must give way to the default
picture, and the program must end cleanly. Saves a screenshot of the page area.

    page_fallback.py --exe page_show.exe --out <artefact folder>
"""

import argparse
import os
import subprocess
import sys
import threading
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    subprocess.run(["xdotool", "mousemove", "2", "2"], check=False)
    proc = subprocess.Popen(["wine", args.exe, "http://127.0.0.1:9/"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, text=True)
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(l.strip() for l in proc.stdout),
                              daemon=True)
    reader.start()
    origin = None
    deadline = time.time() + 20
    while time.time() < deadline and not ("default-page" in lines and origin):
        for line in list(lines):
            if line.startswith("window "):
                origin = tuple(int(v) for v in line.split()[1:3])
        time.sleep(0.1)
    if origin and "default-page" in lines:
        time.sleep(0.5)
        subprocess.run(["import", "-window", "root", "-crop", f"680x420+{origin[0]}+{origin[1]}",
                        "+repage", os.path.join(args.out, "page-fallback.png")],
                       check=False, stderr=subprocess.DEVNULL)
    try:
        proc.wait(timeout=20)
    except subprocess.TimeoutExpired:
        proc.kill()
        print("FAIL: the page host did not end (hang)")
        return 1
    reader.join(timeout=2)
    print("\n".join(lines))
    ok = "default-page" in lines and "done" in lines and proc.returncode == 0
    print("page fallback", "passed" if ok else "FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

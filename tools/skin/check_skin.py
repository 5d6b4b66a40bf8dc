#!/usr/bin/python3
"""Checks the committed skin images against the sizes and frame counts the program expects.

    check_skin.py [folder]      (default: src/resources/skin)

Standard library only: reads each PNG's header. Every image must be 8-bit RGBA with the
listed frame size times its frame count; the icon must hold a 16 and a 32 pixel image.
"""

import os
import struct
import sys

# id: (frame width, height, frames)
EXPECTED = {
    101: (404, 201, 1), 102: (19, 20, 3), 103: (419, 17, 1), 104: (419, 17, 1),
    105: (680, 420, 1), 106: (135, 40, 3), 107: (135, 40, 3), 110: (14, 14, 9),
    112: (24, 24, 1), 114: (135, 40, 3), 115: (19, 20, 3), 116: (19, 20, 3),
    117: (135, 40, 3), 118: (135, 40, 3), 123: (640, 245, 1), 124: (20, 19, 1),
    125: (404, 201, 1), 126: (78, 30, 3), 127: (78, 30, 3), 128: (78, 30, 3),
    129: (78, 30, 3), 130: (78, 30, 3), 131: (78, 30, 3), 132: (78, 30, 3),
    134: (78, 30, 3), 135: (78, 30, 3), 136: (78, 30, 3), 137: (16, 15, 1),
}


def png_header(path):
    with open(path, "rb") as f:
        data = f.read(33)
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    width, height, depth, colour = struct.unpack(">IIBB", data[16:26])
    return width, height, depth, colour


def icon_sizes(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or kind != 1:
        return set()
    sizes = set()
    for i in range(count):
        w, h = data[6 + 16 * i], data[7 + 16 * i]
        sizes.add((w or 256, h or 256))
    return sizes


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src", "resources", "skin")
    problems = []
    for rid, (frame_w, height, frames) in sorted(EXPECTED.items()):
        path = os.path.join(folder, f"{rid}.png")
        if not os.path.exists(path):
            problems.append(f"{rid}: missing")
            continue
        header = png_header(path)
        if header != (frame_w * frames, height, 8, 6):
            problems.append(f"{rid}: header {header}, expected "
                            f"{(frame_w * frames, height, 8, 6)} (w, h, depth, RGBA)")
    sizes = icon_sizes(os.path.join(folder, "119.ico"))
    if not {(16, 16), (32, 32)} <= sizes:
        problems.append(f"119.ico: sizes {sorted(sizes)}")
    rc = open(os.path.join(folder, "..", "skin.rc"), encoding="utf-8").read()
    for rid in EXPECTED:
        if f'{rid} PNG "resources/skin/{rid}.png"' not in rc:
            problems.append(f"{rid}: not in skin.rc")
    for line in problems:
        print("FAIL", line)
    print(f"{len(EXPECTED)} images checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

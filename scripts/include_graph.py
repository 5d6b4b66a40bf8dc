#!/usr/bin/env python3
"""Prints which folder of src/ includes which, and fails on an include that points up.

The folders stand in layers; a file may include its own folder and the folders listed
before its own, never one listed after it. The engine and identity modules stand apart:
they see only the bottom layer. Portable files (listed under vexa_portable_sources in
their folder's CMakeLists.txt) include no Win32 header.

    scripts/include_graph.py [SRC_DIR]      exit status 1 on any upward or sideways include
"""
import collections
import os
import re
import sys

# Bottom first. Each layer may use every layer below it; inside a layer, a folder may use
# the folders named before it.
LAYERS = [
    ("ground", ["base", "engine/core"]),
    ("probes and shell", ["probes", "shell"]),
    ("services", ["transfer", "config", "stats"]),
    ("views", ["skin", "prompts"]),
    ("top", ["workflow", "app", "crashupload"]),
]
# Modules of their own: what each may include besides itself.
APART = {
    "engine": ["base", "engine/core"],
    "identity": ["base"],
}
SOURCE_SUFFIXES = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
WIN32_HEADER = re.compile(r'^\s*#\s*include\s*<(windows|winsock2|ws2tcpip|wininet|shlobj|'
                          r'objbase|ole2|mmsystem|commctrl|exdisp|mshtml)\.h>', re.I)
PORTABLE_LIST = re.compile(r'vexa_portable_sources\s*\(([^)]*)\)', re.S)


def folder_order():
    order = []
    for _, folders in LAYERS:
        order.extend(folders)
    return order


def folder_of(relative_path):
    """The folder a path under src/ belongs to: engine/core is a folder of its own."""
    parts = relative_path.split("/")
    if len(parts) >= 3 and parts[0] == "engine" and parts[1] == "core":
        return "engine/core"
    return parts[0] if len(parts) > 1 else ""


def allowed(source, target, order):
    if source == target:
        return True
    if source in APART:
        return target in APART[source]
    if source not in order or target not in order:
        return False
    return order.index(target) < order.index(source)


def source_files(src):
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                path = os.path.join(root, name)
                yield os.path.relpath(path, src).replace(os.sep, "/"), path


def portable_files(src):
    portable = set()
    for root, _, files in os.walk(src):
        if "CMakeLists.txt" not in files:
            continue
        with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as cmake:
            text = re.sub(r"#.*", "", cmake.read())
        folder = os.path.relpath(root, src).replace(os.sep, "/")
        for match in PORTABLE_LIST.finditer(text):
            for name in match.group(1).split():
                portable.add(os.path.normpath(os.path.join(folder, name)).replace(os.sep, "/"))
    return portable


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    order = folder_order()
    portable = portable_files(src)
    edges = collections.Counter()
    faults = []
    for relative, path in source_files(src):
        source = folder_of(relative)
        with open(path, encoding="utf-8") as text:
            lines = text.read().splitlines()
        check_portable = relative in portable or (
            relative.endswith(".h") and relative[:-2] + ".cpp" in portable)
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if match:
                target = folder_of(match.group(1)) if "/" in match.group(1) else source
                if target != source:
                    edges[(source, target)] += 1
                    if not allowed(source, target, order):
                        faults.append(f"src/{relative}:{number}: {source} must not include "
                                      f"{match.group(1)}")
            elif check_portable and WIN32_HEADER.match(line):
                faults.append(f"src/{relative}:{number}: portable file includes {line.strip()}")

    for name, folders in reversed(LAYERS):
        print(f"{name}: {', '.join(folders)}")
    print(f"apart: {', '.join(APART)}")
    print()
    for (source, target), count in sorted(edges.items()):
        mark = "" if allowed(source, target, order) else "   <-- upward"
        print(f"{source:12} -> {target:12} {count:3}{mark}")
    if faults:
        print()
        print("\n".join(faults))
        print(f"\n{len(faults)} include(s) against the layering")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

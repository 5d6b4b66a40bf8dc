#!/usr/bin/env bash
# Builds everything: the host build (portable code with sanitizers, build-time tools) and
# the Windows build (program, modules, tests). Runs the set-up first unless VEXA_SKIP_SETUP=1.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VEXA_ROOT"

[[ "${VEXA_SKIP_SETUP:-0}" == 1 ]] || bash scripts/setup.sh

BUILD_TYPE="${VEXA_BUILD_TYPE:-Release}"
# Compiler cache shared by every checkout on this machine: paths are made relative to the
# checkout, so a second clone (CI, a helper's worktree) reuses the first one's objects.
LAUNCHER=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$VEXA_ROOT" CCACHE_NOHASHDIR=1
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Configure every time (about a second): folders are picked up by glob at configure time.
CC=clang CXX=clang++ cmake -S . -B "$VEXA_BUILD_DIR/host" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${LAUNCHER[@]}" >/dev/null
ninja -C "$VEXA_BUILD_DIR/host"

cmake -S . -B "$VEXA_BUILD_DIR/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE="$BUILD_TYPE" -DVEXA_HOST_TOOLS_DIR="$VEXA_BUILD_DIR/host/tools" "${LAUNCHER[@]}" >/dev/null
ninja -C "$VEXA_BUILD_DIR/win"

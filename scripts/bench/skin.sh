#!/usr/bin/env bash
# Benchmarks of the skin toolkit:
#  1. PNG decode time of every skin image, the skin's decoder (premultiplied BGRA into a
#     DIB-shaped buffer) against libpng's simplified reader, on the host;
#  2. paint cost of the element manager under Wine and Xvfb.
# Usage: scripts/bench/skin.sh   (after scripts/build.sh; prints figures only)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"

PNG_BENCH="$VEXA_BUILD_DIR/host/bench/skin_png_bench"
PAINT_BENCH="$VEXA_BUILD_DIR/win/bench/skin_paint_bench.exe"
for f in "$PNG_BENCH" "$PAINT_BENCH"; do
  [[ -x "$f" ]] || { echo "build first: $f is missing" >&2; exit 1; }
done

echo "== PNG decode per image (host build, sanitizers as configured), microseconds"
"$PNG_BENCH" src/resources/skin 30

echo "== Element painting under Wine"
vexa_start_xvfb 95
trap 'wineserver -k >/dev/null 2>&1 || true; vexa_stop_xvfb' EXIT
vexa_warm_wine
wine "$PAINT_BENCH" | tr -d '\r'

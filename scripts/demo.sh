#!/usr/bin/env bash
# The main job: builds the program, stamps a demo copy for a demo package and runs it
# under Wine against a local demo server. With a display ($DISPLAY reachable) the program
# opens in a real window and runs until you close it; without one it runs under Xvfb and a
# screenshot is saved (its path is printed).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VEXA_ROOT"

bash scripts/build.sh >/dev/null

DEMO_DIR="$VEXA_BUILD_DIR/demo"
DEMO_ID="{CBF64884-192F-484C-8741-9223167E5D6B}"
mkdir -p "$DEMO_DIR"
# The program and its crash-dump uploader beside it get the same stamp.
for pair in VexaYoral.exe:VexaYoralDemo.exe Plorex.exe:Plorex.exe; do
  "$VEXA_BUILD_DIR/host/tools/vexa_stamp" --in "$VEXA_BUILD_DIR/win/src/app/${pair%%:*}" \
    --out "$DEMO_DIR/${pair##*:}" --id "$DEMO_ID" \
    --config-server 127.0.0.1:18080 --stats-server 127.0.0.1:18080
done
echo "[demo] stamped $DEMO_DIR/VexaYoralDemo.exe for package $DEMO_ID"

headless=1
if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then headless=0; fi
if ((headless)); then vexa_start_xvfb 80; fi
cleanup() {
  [[ -n "${PROGRAM_PID:-}" ]] && kill "$PROGRAM_PID" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  vexa_stop_xvfb
}
trap cleanup EXIT
vexa_warm_wine

wine "$DEMO_DIR/VexaYoralDemo.exe" >/dev/null 2>&1 </dev/null &
PROGRAM_PID=$!

if ((headless)); then
  sleep "${VEXA_DEMO_SECONDS:-6}"
  import -window root "$DEMO_DIR/screenshot.png"
  echo "[demo] screenshot: $DEMO_DIR/screenshot.png"
else
  echo "[demo] the program runs in a window on $DISPLAY; close it to end the demo"
  wait "$PROGRAM_PID" || true
  PROGRAM_PID=""
fi

#!/usr/bin/env bash
# Reproduces starts that end without a window: runs scripts/startup_repro.py (see there)
# in a Wine prefix of its own on a display of its own, so nothing else shares its wine
# server. Not part of the test command; it takes about five seconds per start.
#
#   scripts/startup_repro.sh [--starts 300] [--loaded 150] [--persistent-server] ...
#
# --persistent-server keeps one wine server (and its desktop process) for the whole run,
# as scripts/test.sh does; without it the session starts and ends as for a new user.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VEXA_ROOT"

persistent=0
args=()
for a in "$@"; do
  if [[ "$a" == --persistent-server ]]; then persistent=1; else args+=("$a"); fi
done

export WINEPREFIX="${VEXA_REPRO_PREFIX:-$VEXA_BUILD_DIR/repro-prefix}"
if [[ ! -f "$WINEPREFIX/.vexa-ready" ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -w
  touch "$WINEPREFIX/.vexa-ready"
fi

vexa_start_xvfb 120
trap 'wineserver -k >/dev/null 2>&1 || true; vexa_stop_xvfb' EXIT
if ((persistent)); then vexa_warm_wine; fi
"$PYTHON" scripts/startup_repro.py "${args[@]}"

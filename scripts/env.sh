# Shared environment for the build, test and demo scripts (sourced, not run).
VEXA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export VEXA_ROOT
# Each developer or helper may keep its own build folder (and with it its own Wine prefix
# and wine server) with VEXA_BUILD_DIR; CI and the README use build/.
export VEXA_BUILD_DIR="${VEXA_BUILD_DIR:-$VEXA_ROOT/build}"
export VEXA_WINEPREFIX="${VEXA_WINEPREFIX:-$VEXA_BUILD_DIR/wineprefix}"
export WINEPREFIX="$VEXA_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko prompts: neither can be installed here.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export PYTHON="${PYTHON:-$(command -v python3)}"

# Starts Xvfb on the first free display from $1 (default 90) and exports DISPLAY.
vexa_start_xvfb() {
  local n="${1:-90}"
  while [[ -e "/tmp/.X${n}-lock" || -e "/tmp/.X11-unix/X${n}" ]]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  VEXA_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [[ -e "/tmp/.X11-unix/X${n}" ]] && break; sleep 0.1; done
}

vexa_stop_xvfb() {
  if [[ -n "${VEXA_XVFB_PID:-}" ]]; then kill "$VEXA_XVFB_PID" 2>/dev/null || true; fi
}

# Keeps a wine server running so each test process starts in ~0.1 s instead of ~2.5 s.
# Its output is detached, or Wine's services would hold ctest's pipes open.
vexa_warm_wine() {
  # an already running server makes this fail, which is fine
  wineserver -p >/dev/null 2>&1 </dev/null || true
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

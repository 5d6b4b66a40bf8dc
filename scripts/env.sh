# Shared environment for the build, test and demo scripts (sourced, not run).
VEXA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export VEXA_ROOT
# Each developer or helper may keep its own build folder (and with it its own Wine prefix
# and wine server) with VEXA_BUILD_DIR; CI and the README use build/.
export VEXA_BUILD_DIR="${VEXA_BUILD_DIR:-$VEXA_ROOT/build}"
export VEXA_WINEPREFIX="${VEXA_WINEPREFIX:-$VEXA_BUILD_DIR/wineprefix}"
export WINEPREFIX="$VEXA_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko prompts: neither can be installed here. No menu builder either: it would
# copy every shortcut the program makes into the host's desktop and menus.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
export PYTHON="${PYTHON:-$(command -v python3)}"

# Starts a private Xvfb on the first free display from $1 (default 90) and exports DISPLAY.
# The X server's own bind decides whether a display is free (runs started side by side
# never share one), and it reports the display only once it listens.
vexa_start_xvfb() {
  local n="${1:-90}" report deadline
  report="$(mktemp "${TMPDIR:-/tmp}/vexa-xvfb.XXXXXX")"
  for ((; n < ${1:-90} + 100; n++)); do
    [[ -e "/tmp/.X${n}-lock" || -e "/tmp/.X11-unix/X${n}" ]] && continue
    : >"$report"
    Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$report" >/dev/null 2>&1 &
    VEXA_XVFB_PID=$!
    deadline=$((SECONDS + 120))
    until grep -q '^[0-9]' "$report"; do
      kill -0 "$VEXA_XVFB_PID" 2>/dev/null || break  # taken meanwhile: try the next one
      if ((SECONDS >= deadline)); then kill "$VEXA_XVFB_PID"; break; fi
      sleep 0.05
    done
    if grep -q '^[0-9]' "$report"; then
      export DISPLAY=":$n"
      rm -f "$report"
      return 0
    fi
    wait "$VEXA_XVFB_PID" 2>/dev/null || true
  done
  rm -f "$report"
  unset VEXA_XVFB_PID
  echo "no display could be started for Xvfb" >&2
  return 1
}

vexa_stop_xvfb() {
  if [[ -n "${VEXA_XVFB_PID:-}" ]]; then kill "$VEXA_XVFB_PID" 2>/dev/null || true; fi
}

# Keeps a wine server running so each test process starts in ~0.1 s instead of ~2.5 s.
# Its output is detached, or Wine's services would hold ctest's pipes open.
vexa_warm_wine() {
  # The prefix's Desktop, Documents, ... stay inside it (Wine links them to the home folder),
  # so the program's desktop shortcut never lands in this machine's home.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [[ -L "$link" ]]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  # an already running server makes this fail, which is fine
  wineserver -p >/dev/null 2>&1 </dev/null || true
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

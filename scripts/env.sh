# Shared environment for the build, test and demo scripts (sourced, not run).
VEXA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export VEXA_ROOT
# Each developer or helper may keep its own build folder (and with it its own Wine prefix
# and wine server) with VEXA_BUILD_DIR; CI and the README use build/.
export VEXA_BUILD_DIR="${VEXA_BUILD_DIR:-$VEXA_ROOT/build}"
export VEXA_WINEPREFIX="${VEXA_WINEPREFIX:-$VEXA_BUILD_DIR/wineprefix}"
export WINEPREFIX="$VEXA_WINEPREFIX"
# No Wine trace output by default. "-all,err+all" names the few ways Wine ends a program with
# no word of its own (exit code 1 when the shared data cannot be mapped, a stack overflow);
# use it for hunting (scripts/stress-tests.sh --winedebug). It changes Wine's timings, which
# is how the page view's navigation race showed itself (two navigations at once lost the
# second one's error event; the view now makes one at a time).
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

# The wine server's own error output ("Protocol error: ..." when it ends a program with exit
# code 1 and no word on the program's side). A file, not a pipe: the server outlives the
# scripts that start it.
export VEXA_WINESERVER_LOG="${VEXA_WINESERVER_LOG:-$VEXA_BUILD_DIR/wineserver.log}"

# For scripts outside ctest that drive the end-to-end fixtures (tests/e2e/fixture.py): where
# the built programs, the test server and the artefacts are, as vexa_e2e_test() tells the
# tests. The benchmark programs themselves are in $VEXA_BUILD_DIR/{host,win}/bench/.
vexa_export_fixture_paths() {
  export VEXA_PROGRAM="$VEXA_BUILD_DIR/win/src/app/VexaYoral.exe"
  # The program as shipped plus the trace the fixtures follow.
  export VEXA_TEST_BUILD_PROGRAM="$VEXA_BUILD_DIR/win/src/app/VexaYoralTestBuild.exe"
  export VEXA_DLWINDOW_HOST="$VEXA_BUILD_DIR/win/tests/workflow/dlwindow_host.exe"
  export VEXA_STAND_IN_INSTALLER="$VEXA_BUILD_DIR/win/tests/support/vexa_standin_installer.exe"
  export VEXA_STAMP="$VEXA_BUILD_DIR/host/tools/vexa_stamp"
  export VEXA_TESTDRIVER="$VEXA_BUILD_DIR/win/tests/support/vexa_testdriver.exe"
  export VEXA_TEST_SERVER="$VEXA_ROOT/tests/server/vexa_test_server.py"
  export VEXA_ARTIFACTS="$VEXA_BUILD_DIR/test-artifacts"
  export PYTHONPATH="$VEXA_ROOT/tests/e2e:$VEXA_ROOT/tests/support" PYTHONDONTWRITEBYTECODE=1
}

# Keeps a wine server running so each test process starts in ~0.1 s instead of ~2.5 s, and
# the session's desktop open (see vexa_hold_desktop). Wine's services get no pipes of the
# caller, or they would hold ctest's pipes open.
vexa_warm_wine() {
  mkdir -p "$(dirname "$VEXA_WINESERVER_LOG")"
  # The prefix's Desktop, Documents, ... stay inside it (Wine links them to the home folder),
  # so the program's desktop shortcut never lands in this machine's home.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [[ -L "$link" ]]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  # an already running server makes this fail, which is fine
  wineserver -p >>"$VEXA_WINESERVER_LOG" 2>&1 </dev/null || true
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  vexa_hold_desktop
}

# Wine closes a desktop a second after its last window is gone and starts the desktop's
# manager (explorer) again for the next program that makes a window. When that start takes
# longer than Wine waits for it (ten seconds, which a busy machine can exceed), the desktop
# is made without a display driver: no program in the session can make a window any more.
# A hidden window held for the whole session keeps the desktop and its manager up, so tests
# never start it again; the one start here is checked, and the session made anew if the
# desktop came up without a display.
vexa_hold_desktop() {
  local driver="$VEXA_BUILD_DIR/win/tests/support/vexa_testdriver.exe" report pid attempt
  [[ -f "$driver" ]] || return 0
  for attempt in 1 2 3; do
    report="$(mktemp "${TMPDIR:-/tmp}/vexa-desktop.XXXXXX")"
    wine "$driver" hold-desktop "vexa desktop holder" >"$report" 2>/dev/null </dev/null &
    pid=$!
    until grep -q ready "$report" || ! kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
    if grep -q ready "$report"; then
      rm -f "$report"
      return 0
    fi
    rm -f "$report"
    echo "the Wine desktop came up without a display (attempt $attempt): new session" >&2
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p >>"$VEXA_WINESERVER_LOG" 2>&1 </dev/null || true
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  done
  echo "the Wine desktop has no display: tests that show windows will fail" >&2
}

# Desktops of their own for the tests that need their windows alone on a screen (clicks,
# focus, screenshots, window counts): each is an Xvfb display with a Wine session of its own
# (a copy of the prefix, its own wine server, its desktop held as above). scripts/test.sh
# hands them to ctest as the resource "desktop" (resource file
# $VEXA_DESKTOP_DIR/resources.json); tests/support/on_desktop.sh puts a test on the one it
# got. Every other test uses the shared display and session.
export VEXA_DESKTOP_DIR="${VEXA_DESKTOP_DIR:-$VEXA_BUILD_DIR/desktops}"
VEXA_DESKTOP_XVFB_PIDS=()
VEXA_DESKTOP_PREFIXES=()

# vexa_start_desktops COUNT: the desktops desk1..deskCOUNT, ready for windows.
vexa_start_desktops() {
  local count="$1" i dir own_display="${DISPLAY:-}" own_xvfb="${VEXA_XVFB_PID:-}" pids=() pid
  local spec='' status=0
  mkdir -p "$VEXA_DESKTOP_DIR"
  for ((i = 1; i <= count; i++)); do
    dir="$VEXA_DESKTOP_DIR/desk$i"
    mkdir -p "$dir"
    # A session left by a run that was killed would keep its desktop on a display of its own.
    WINEPREFIX="$dir/wineprefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$dir/wineprefix" wineserver -w >/dev/null 2>&1 || true
    # The prefix's copy is made again whenever the prefix itself was (cp -a keeps the time).
    if [[ ! -f "$dir/wineprefix/.vexa-ready" ||
          "$VEXA_WINEPREFIX/.vexa-ready" -nt "$dir/wineprefix/.vexa-ready" ]]; then
      rm -rf "$dir/wineprefix"
      cp -a "$VEXA_WINEPREFIX" "$dir/wineprefix.new"
      mv "$dir/wineprefix.new" "$dir/wineprefix"
    fi
    vexa_start_xvfb 90 || { status=1; break; }
    VEXA_DESKTOP_XVFB_PIDS+=("$VEXA_XVFB_PID")
    VEXA_DESKTOP_PREFIXES+=("$dir/wineprefix")
    printf 'export DISPLAY=%q WINEPREFIX=%q VEXA_WINEPREFIX=%q VEXA_WINESERVER_LOG=%q\n' \
      "$DISPLAY" "$dir/wineprefix" "$dir/wineprefix" "$dir/wineserver.log" >"$dir/env"
    # Each session starts beside the others (a few seconds each).
    (source "$dir/env" && vexa_warm_wine) &
    pids+=($!)
    spec+="${spec:+,}{\"id\":\"desk$i\",\"slots\":1}"
  done
  export DISPLAY="$own_display"
  VEXA_XVFB_PID="$own_xvfb"
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  printf '{"version":{"major":1,"minor":0},"local":[{"desktop":[%s]}]}\n' "$spec" \
    >"$VEXA_DESKTOP_DIR/resources.json"
  return $status
}

vexa_stop_desktops() {
  local prefix pid
  for prefix in "${VEXA_DESKTOP_PREFIXES[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  for pid in "${VEXA_DESKTOP_XVFB_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  VEXA_DESKTOP_PREFIXES=()
  VEXA_DESKTOP_XVFB_PIDS=()
}

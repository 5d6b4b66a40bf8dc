#!/usr/bin/env bash
# The test command: set-up, build, then every test (host unit tests and fuzzing, Windows
# unit tests under Wine, end-to-end tests of the real program under Wine and Xvfb).
# Extra arguments go to both ctest runs, for example: scripts/test.sh -R Identity
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VEXA_ROOT"

bash scripts/build.sh

vexa_start_xvfb 90
trap 'wineserver -k >/dev/null 2>&1 || true; vexa_stop_xvfb' EXIT
vexa_warm_wine

status=0
# The engine's outage group spends most of its time waiting out network outages inside
# namespaces of its own (no display, a Wine prefix of its own). Tests that click must run
# alone, so inside one ctest run it would hold them all back: the whole command runs it
# beside the others instead. A run given its own ctest arguments keeps one ctest run per side.
long_group=engine_transfer_outage
long_pid=
if [[ $# -eq 0 ]]; then
  long_log="$VEXA_BUILD_DIR/$long_group.log"
  ctest --test-dir "$VEXA_BUILD_DIR/win" --output-on-failure -R "^$long_group\$" >"$long_log" 2>&1 &
  long_pid=$!
  set -- -E "^$long_group\$"
fi
ctest --test-dir "$VEXA_BUILD_DIR/host" --output-on-failure -j2 "$@" || status=1
ctest --test-dir "$VEXA_BUILD_DIR/win" --output-on-failure -j2 "$@" || status=1
if [[ -n "$long_pid" ]]; then
  wait "$long_pid" || status=1
  echo "== $long_group (run beside the others)"
  cat "$long_log"
fi
exit $status

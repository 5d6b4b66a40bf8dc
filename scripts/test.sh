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
ctest --test-dir "$VEXA_BUILD_DIR/host" --output-on-failure -j2 "$@" || status=1
ctest --test-dir "$VEXA_BUILD_DIR/win" --output-on-failure -j2 "$@" || status=1
exit $status

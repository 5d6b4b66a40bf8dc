#!/usr/bin/env bash
# The test command: set-up, build, then every test (host unit tests and fuzzing, Windows
# unit tests under Wine, end-to-end tests of the real program under Wine and Xvfb).
# Extra arguments go to ctest, for example: scripts/test.sh -R Identity
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VEXA_ROOT"

bash scripts/build.sh

# Tests that need their windows alone on a screen get a desktop of their own (see
# vexa_start_desktops); everything else shares one display and Wine session. Three desktops
# take the window tests (about 220 s in a row) to about the longest other tests.
desktops="${VEXA_DESKTOPS:-3}"
vexa_start_xvfb 90
trap 'vexa_stop_desktops; wineserver -k >/dev/null 2>&1 || true; vexa_stop_xvfb' EXIT
# The desktops copy the prefix before anything runs in it.
vexa_start_desktops "$desktops"
vexa_warm_wine

# One ctest over both builds, so one schedule holds everything: the long tests start first
# (COST), the outages wait beside the rest, desktops never sit idle while tests that need
# one are left, and short tests fill the gaps. Most tests wait on Wine, servers and windows
# rather than compute, so more run at once than there are cores: besides the desktops, the
# two outages and three others, so the other tests seldom hold a desktop's test back.
all="$VEXA_BUILD_DIR/ctest"
mkdir -p "$all"
printf 'subdirs("%s" "%s")\n' "$VEXA_BUILD_DIR/host" "$VEXA_BUILD_DIR/win" >"$all/CTestTestfile.cmake"
# Soak runs (label "soak": the two-minute outage) only with VEXA_SOAK=1.
soak=(-LE soak)
[[ "${VEXA_SOAK:-0}" == 1 ]] && soak=()
ctest --test-dir "$all" --output-on-failure -j "$((desktops + 5))" \
  --resource-spec-file "$VEXA_DESKTOP_DIR/resources.json" "${soak[@]}" "$@"

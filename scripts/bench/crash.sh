#!/usr/bin/env bash
# Crash reporting under Wine: time from the fault to the end of the process with a large
# working set (default 100 MiB), with the crash report written and, for reference, with the
# handler disarmed (the process only ends); and the dump's size.
# Usage: scripts/bench/crash.sh [MEGABYTES] [RUNS]   (after scripts/build.sh)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"

BENCH_EXE="$VEXA_BUILD_DIR/win/bench/vexa_crash_bench.exe"
[[ -x "$BENCH_EXE" ]] || { echo "build first: $BENCH_EXE is missing" >&2; exit 1; }
vexa_warm_wine
wine "$BENCH_EXE" "${1:-100}" "${2:-5}" 2>/dev/null

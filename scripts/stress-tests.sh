#!/usr/bin/env bash
# Runs the test command (scripts/test.sh), or a subset of it, several times while a CPU load
# runs beside it, and prints how often each test failed. A tool for hunting tests that fail
# now and then on a busy machine; not part of the test command.
#
#   scripts/stress-tests.sh [-n RUNS] [--cpu WORKERS] [--] [ctest arguments...]
#
#   -n RUNS        how many times to run (default 5)
#   --cpu WORKERS  stress-ng CPU workers beside the tests (default 2; 0 for none)
#   --winedebug CHANNELS
#                  Wine trace channels for every Windows program the tests start, e.g.
#                  "-all,err+all,+process,+loaddll"; the whole traces of the programs the
#                  tests report on are kept in $VEXA_BUILD_DIR/stress/wine/run-N/ for the
#                  runs that failed (dropped for the others, so long series stay small)
#   ctest arguments go to the test command's ctest run, e.g. -R engine_transfer for the engine groups.
#
# Each run's full output goes to $VEXA_BUILD_DIR/stress/run-N.log. Run it under `nice` on a
# shared machine: the load then weighs on these tests, not on everybody else's work.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VEXA_ROOT"

runs=5
cpus=2
winedebug=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    --cpu) cpus="$2"; shift 2 ;;
    --winedebug) winedebug="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done

logs="$VEXA_BUILD_DIR/stress"
mkdir -p "$logs"
failures="$logs/failures.txt"
: >"$failures"
rm -f "$logs"/run-*.log
rm -rf "$logs/wine"
[[ -z "$winedebug" ]] || export WINEDEBUG="$winedebug"

# Built once up front, so the load meets the tests and not the compiler.
bash scripts/build.sh >"$logs/build.log" 2>&1 || { echo "build failed: $logs/build.log" >&2; exit 1; }

load_pid=""
stop_load() {
  if [[ -n "$load_pid" ]]; then
    kill "$load_pid" 2>/dev/null || true
    wait "$load_pid" 2>/dev/null || true
  fi
}
trap stop_load EXIT
if ((cpus > 0)); then
  stress-ng --cpu "$cpus" --timeout 0 --quiet >/dev/null 2>&1 &
  load_pid=$!
fi

failed_runs=0
for ((i = 1; i <= runs; i++)); do
  rm -f "$VEXA_BUILD_DIR/ctest/Testing/Temporary/LastTestsFailed.log"
  start=$SECONDS
  status=0
  traces="$logs/wine/run-$i"
  [[ -z "$winedebug" ]] || export VEXA_WINE_LOG_DIR="$traces"
  VEXA_SKIP_SETUP=1 bash scripts/test.sh "$@" >"$logs/run-$i.log" 2>&1 || status=$?
  # ctest lists the tests that failed in its last run as "number:name".
  failed=()
  list="$VEXA_BUILD_DIR/ctest/Testing/Temporary/LastTestsFailed.log"  # one ctest, both builds
  [[ -f "$list" ]] && while IFS=: read -r _ name; do failed+=("$name"); done <"$list"
  if ((status != 0 && ${#failed[@]} == 0)); then failed=("(test command, exit $status)"); fi
  printf '%s\n' "${failed[@]}" | sed '/^$/d' >>"$failures"
  ((${#failed[@]} == 0)) || failed_runs=$((failed_runs + 1))
  # Passing tests describe their programs too; only a failed run's traces are worth keeping.
  ((${#failed[@]} != 0)) || rm -rf "$traces"
  printf 'run %d/%d: %s in %d s, load %s\n' "$i" "$runs" \
    "$( ((${#failed[@]} == 0)) && echo passed || echo "FAILED: ${failed[*]}")" \
    $((SECONDS - start)) "$(cut -d' ' -f1-3 /proc/loadavg)"
done

echo "failures per test over $runs runs (logs in $logs):"
if [[ -s "$failures" ]]; then
  sort "$failures" | uniq -c | sort -rn
else
  echo "  none"
fi
((failed_runs == 0))

#!/usr/bin/env bash
# Benchmarks of the module and integrity code, side by side with reference tools:
#  1. the file fingerprint (MD5 of the last 52,428,800 bytes) of a 2 GiB file, the program's
#     code under Wine against `tail -c 52428800 FILE | md5sum`, with peak memory;
#  2. the LZARI decode speed of the engine resource (and of the identity module).
# Usage: scripts/bench/fingerprint.sh   (after scripts/build.sh; prints figures only)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXA_ROOT"

BENCH_EXE="$VEXA_BUILD_DIR/win/bench/vexa_bench.exe"
RESOURCES="$VEXA_BUILD_DIR/win/src/resources"
[[ -x "$BENCH_EXE" ]] || { echo "build first: $BENCH_EXE is missing" >&2; exit 1; }
WORK="$(mktemp -d "${TMPDIR:-/tmp}/vexa-bench.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
vexa_warm_wine

WINDOW=52428800
FILE="$WORK/package.bin"
bench_sparse_file "$FILE" $((2 * 1024 * 1024 * 1024))
tail -c $WINDOW "$FILE" >/dev/null   # warm the page cache for both

best_time() { bench_best_time 5 "$@"; }
peak_kib() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident/ {gsub(/ /,"",$2); print $2}'; }

WIN_FILE="$(winepath -w "$FILE" 2>/dev/null)"   # once: winepath is a Wine process itself
reference() { tail -c $WINDOW "$FILE" | md5sum; }
ours() { wine "$BENCH_EXE" fingerprint "$WIN_FILE"; }

ref_time=$(best_time reference); ref_digest=$(cut -d' ' -f1 "$WORK/out")
our_time=$(best_time ours); our_digest=$(cut -d' ' -f1 "$WORK/out" | tr -d '\r'); our_inproc=$(grep -o 'in-process [0-9.]* s' "$WORK/out")
base_kib=$(peak_kib wine "$BENCH_EXE" baseline)
our_kib=$(peak_kib wine "$BENCH_EXE" fingerprint "$WIN_FILE")
start_time=$(best_time wine "$BENCH_EXE" baseline)
ref_kib=$(peak_kib sh -c "tail -c $WINDOW '$FILE' | md5sum")

echo "== File fingerprint of a 2 GiB file (last $WINDOW bytes)"
printf '  reference  tail -c | md5sum : %.3f s  digest %s\n' "$ref_time" "$ref_digest"
printf '  ours (Wine, whole process)  : %.3f s  digest %s  (%s)\n' "$our_time" "$our_digest" "$our_inproc"
printf '  ratio ours / reference      : %.2f x  (Wine process start alone: %.3f s)\n' \
  "$(echo "$our_time / $ref_time" | bc -l)" "$start_time"
[[ "$ref_digest" == "$our_digest" ]] && echo "  digests agree" || echo "  DIGESTS DIFFER"
printf '  peak memory: ours %d KiB, process baseline %d KiB, above baseline %d KiB; reference shell %d KiB\n' \
  "$our_kib" "$base_kib" "$((our_kib - base_kib))" "$ref_kib"

echo "== LZARI decode speed (in process, decoded bytes per second)"
for lz in "$RESOURCES/VexaP2SP.dll.lz" "$RESOURCES/Vexaverify.dll.lz"; do
  [[ -f "$lz" ]] || continue
  size=$(stat -c %s "$lz")
  rounds=$(( size < 65536 ? 2000 : 10 ))
  printf '  %-18s ' "$(basename "$lz")"
  wine "$BENCH_EXE" lzari "$(winepath -w "$lz")" $rounds | tr -d '\r'
done

#!/usr/bin/env bash
# The cost of checking a signed package: the SHA-256 of a whole 2 GiB file as the program
# computes it before the install prompt (libsodium's, read in 4 MiB sequential chunks),
# under Wine, against `sha256sum`, and the system's own SHA-256 (bcrypt, Wine's) for the same
# file. The file is sparse but for its last 64 MiB and sits in the page cache, so the figures
# are the hashing's own cost; on a cold disk both sides wait for the same reads.
# Usage: scripts/bench/signed.sh   (after scripts/build.sh; prints figures only)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXA_ROOT"

BENCH_EXE="$VEXA_BUILD_DIR/win/bench/vexa_bench.exe"
[[ -x "$BENCH_EXE" ]] || { echo "build first: $BENCH_EXE is missing" >&2; exit 1; }
WORK="$(mktemp -d "${TMPDIR:-/tmp}/vexa-bench.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
vexa_warm_wine

FILE="$WORK/package.bin"
bench_sparse_file "$FILE" $((2 * 1024 * 1024 * 1024))
cat "$FILE" >/dev/null   # the page cache holds it for every side
RUNS=3

WIN_FILE="$(winepath -w "$FILE" 2>/dev/null)"
reference() { sha256sum "$FILE"; }
ours() { wine "$BENCH_EXE" sha256 "$WIN_FILE"; }
system() { wine "$BENCH_EXE" bcrypt-sha256 "$WIN_FILE"; }

ref_time=$(bench_best_time $RUNS reference); ref_digest=$(cut -d' ' -f1 "$WORK/out")
our_time=$(bench_best_time $RUNS ours); our_digest=$(cut -d' ' -f1 "$WORK/out" | tr -d '\r')
our_inproc=$(grep -o 'in-process [0-9.]* s' "$WORK/out")
sys_time=$(bench_best_time $RUNS system); sys_digest=$(cut -d' ' -f1 "$WORK/out" | tr -d '\r')
sys_inproc=$(grep -o 'in-process [0-9.]* s' "$WORK/out")
start_time=$(bench_best_time $RUNS wine "$BENCH_EXE" baseline)

echo "== SHA-256 of a whole 2 GiB package file (best of $RUNS)"
printf '  reference  sha256sum           : %.3f s  %s\n' "$ref_time" "$ref_digest"
printf '  ours (libsodium, Wine process) : %.3f s  %s  (%s)\n' "$our_time" "$our_digest" "$our_inproc"
printf '  system bcrypt (Wine process)   : %.3f s  %s  (%s)\n' "$sys_time" "$sys_digest" "$sys_inproc"
printf '  ratio ours / sha256sum         : %.2f x  (Wine process start alone: %.3f s)\n' \
  "$(echo "$our_time / $ref_time" | bc -l)" "$start_time"
[[ "$ref_digest" == "$our_digest" && "$ref_digest" == "$sys_digest" ]] && echo "  digests agree" ||
  echo "  DIGESTS DIFFER"

#!/usr/bin/env bash
# Benchmarks of the publisher's kit, side by side with reference tools (figures only):
#  1. `vexa_publish check` of a package with one 2 GiB file served by nginx on 127.0.0.1:
#     time and bytes fetched, against `curl` fetching the same last 50 MiB with one Range;
#  2. `vexa_publish author` on 4 GiB of files (four of 1 GiB) against
#     `tail -c 52428800 FILE | md5sum` per file.
# The files are sparse with real data in their tails (both contenders read only the tail)
# and are deleted afterwards. The tool is built without sanitizers for this, in
# $VEXA_BUILD_DIR/host-bench.
# Usage: scripts/bench/publish.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXA_ROOT"

PUBLISH="$(bench_publish_tool)"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/vexa-bench-publish.XXXXXX")"
chmod 755 "$WORK"
NGINX_PID=""
cleanup() {
  if [[ -n "$NGINX_PID" ]]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
WINDOW=52428800
GIB=$((1024 * 1024 * 1024))

best_time() { bench_best_time 3 "$@"; }

# --- 1. check of a 2 GiB file ----------------------------------------------------------
mkdir -p "$WORK/files"
BIG="$WORK/files/big_2gib.bin"
bench_sparse_file "$BIG" $((2 * GIB))
PORT=$("$PYTHON" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
ID="{B0000000-0000-0000-0000-000000000001}"
"$PUBLISH" author --out "$WORK/doc.html" --base-url "http://127.0.0.1:$PORT/g" \
  --game-name Bench --new-version 1.0.0.1 "$BIG" >/dev/null
"$PUBLISH" stage --root "$WORK/www" --conf "$WORK/conf" --listen "127.0.0.1:$PORT" \
  --package "$ID=$WORK/doc.html" "$BIG" >/dev/null
globals="daemon off;"
[[ $(id -u) == 0 ]] && globals+=" user root;"
timeout 900 nginx -p "$WORK/conf" -c "$WORK/conf/nginx.conf" -g "$globals" >/dev/null 2>&1 </dev/null &
NGINX_PID=$!
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null && break; sleep 0.1; done
tail -c $WINDOW "$BIG" >/dev/null  # warm the page cache for both

check_time=$(best_time "$PUBLISH" check --server "127.0.0.1:$PORT" "$ID")
grep -q '^PASSED' "$WORK/out" || { cat "$WORK/out"; echo "check failed" >&2; exit 1; }
check_bytes=$(grep -o '[0-9]* bytes fetched' "$WORK/out" | cut -d' ' -f1)
doc_bytes=$(awk '$1 == "document" {print $2}' "$WORK/out")
curl_time=$(best_time curl -s -o /dev/null -r "$((2 * GIB - WINDOW))-" "http://127.0.0.1:$PORT/g/big_2gib.bin")
echo "== check of a package with one 2 GiB file (nginx on 127.0.0.1)"
printf '  vexa_publish check (document + Range of the tail + MD5): %.3f s\n' "$check_time"
printf '  bytes fetched: %d in all, %d for the file (goal: <= %d + headers)\n' \
  "$check_bytes" "$((check_bytes - doc_bytes))" "$WINDOW"
printf '  reference curl -r of the same 50 MiB, no MD5           : %.3f s\n' "$curl_time"
kill "$NGINX_PID"; wait "$NGINX_PID" 2>/dev/null || true; NGINX_PID=""
rm -rf "$WORK/www" "$BIG"

# --- 2. author on 4 GiB of files ----------------------------------------------------------
FILES=()
for i in 1 2 3 4; do
  bench_sparse_file "$WORK/files/part$i.bin" "$GIB"
  FILES+=("$WORK/files/part$i.bin")
done
for f in "${FILES[@]}"; do tail -c $WINDOW "$f" >/dev/null; done  # page cache for both
# Commands as texts, so /usr/bin/time can run them (the paths hold no blanks).
ours="'$PUBLISH' author --out '$WORK/doc4.html' --base-url http://h/g --game-name Bench"
ours+=" --new-version 1.0.0.1 --game-start part1.bin ${FILES[*]}"
reference="for f in ${FILES[*]}; do tail -c $WINDOW \$f | md5sum; done"
# The two take turns, so a busy moment of the machine does not fall on one of them only;
# the best wall time and the CPU time of each are kept.
best_ours="" best_ref=""
for _ in 1 2 3; do
  for who in ours reference; do
    /usr/bin/time -f "%e %U %S" -o "$WORK/time" bash -c "${!who}" >"$WORK/out.$who" 2>/dev/null
    read -r wall user sys <"$WORK/time"
    cpu=$(echo "$user + $sys" | bc -l)
    if [[ $who == ours ]]; then
      if [[ -z "$best_ours" ]] || (($(echo "$wall < $best_ours" | bc -l))); then best_ours=$wall; cpu_ours=$cpu; fi
    else
      if [[ -z "$best_ref" ]] || (($(echo "$wall < $best_ref" | bc -l))); then best_ref=$wall; cpu_ref=$cpu; fi
    fi
  done
done
our_digests=$(awk '{print $1}' "$WORK/out.ours" | head -4 | tr '\n' ' ')
ref_digests=$(awk '{print $1}' "$WORK/out.reference" | tr '\n' ' ')
echo "== author on 4 GiB of files (four files of 1 GiB)"
printf '  vexa_publish author (fingerprints + document + read-back): %.3f s wall, %.3f s CPU\n' "$best_ours" "$cpu_ours"
printf '  reference tail -c 52428800 FILE | md5sum, per file       : %.3f s wall, %.3f s CPU\n' "$best_ref" "$cpu_ref"
printf '  (the reference reads and hashes in two processes at once; author reads, then hashes)\n'
[[ "$our_digests" == "$ref_digests" ]] && echo "  digests agree" || echo "  DIGESTS DIFFER: $our_digests / $ref_digests"

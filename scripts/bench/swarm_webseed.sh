#!/usr/bin/env bash
# Does the swarm's HTTP side keep up with the engine's own HTTP scheduler? The same file from
# the same nginx on 127.0.0.1, fetched by the engine front end three ways: where no torrent is
# published (the HTTP scheduler), and where one is and no peer exists, once with the engine's
# own connections fetching pieces for the swarm (the default) and once through the swarm's
# web seeds (http_feed=0). Scenarios: unthrottled, and every connection capped by a relay
# (servers that cap each connection, where the HTTP side opens more connections). Prints time
# and MB/s per run and the medians; not a pass/fail test.
#
#   scripts/bench/swarm_webseed.sh     (needs a built tree: scripts/build.sh)
#   BENCH_SIZE_MB=256  BENCH_RATE_MB=4 (per-connection cap)  BENCH_RUNS=3
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"

SIZE_MB="${BENCH_SIZE_MB:-256}"
RATE_MB="${BENCH_RATE_MB:-4}"
RUNS="${BENCH_RUNS:-3}"
EXE="$VEXA_BUILD_DIR/win/tools/p2sp-get/p2sp-get.exe"
DLL="$VEXA_BUILD_DIR/win/src/engine/VexaP2SP.dll"
[[ -f "$EXE" && -f "$DLL" ]] || { echo "build first: scripts/build.sh" >&2; exit 2; }

WORK="$(mktemp -d /tmp/vexa-swarm-bench-XXXXXX)"
chmod 755 "$WORK"
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
free_port() { "$PYTHON" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

mkdir -p "$WORK/www/plain" "$WORK/www/ws" "$WORK/nginx/tmp" "$WORK/out"
head -c $((SIZE_MB * 1024 * 1024)) /dev/urandom >"$WORK/www/plain/f.bin"
ln "$WORK/www/plain/f.bin" "$WORK/www/ws/f.bin"
PORT=$(free_port)
cat >"$WORK/nginx/nginx.conf" <<CONF
daemon off; worker_processes 2; pid $WORK/nginx/nginx.pid; error_log $WORK/nginx/error.log;
$([[ $(id -u) == 0 ]] && echo "user root;")
events {}
http {
    access_log off; client_body_temp_path $WORK/nginx/tmp/body; proxy_temp_path $WORK/nginx/tmp/proxy;
    fastcgi_temp_path $WORK/nginx/tmp/fastcgi; uwsgi_temp_path $WORK/nginx/tmp/uwsgi;
    scgi_temp_path $WORK/nginx/tmp/scgi; max_ranges 1;
    server { listen 127.0.0.1:$PORT; root $WORK/www; }
}
CONF
nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do curl -sf -r 0-0 -o /dev/null "http://127.0.0.1:$PORT/plain/f.bin" && break; sleep 0.1; done
RELAY=$(free_port)
"$PYTHON" scripts/bench/rate_relay.py "$RELAY" "$PORT" $((RATE_MB * 1024 * 1024)) 3000 >"$WORK/relay.txt" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do grep -q ready "$WORK/relay.txt" 2>/dev/null && break; sleep 0.1; done

# The torrents: web seed = the link itself, no tracker (no peers at all).
for port in "$PORT" "$RELAY"; do
  mkdir -p "$WORK/www/ws$port" && ln "$WORK/www/plain/f.bin" "$WORK/www/ws$port/f.bin"
  /usr/bin/python3 tests/engine/swarm_peer.py make "$WORK/www/ws$port/f.bin" \
    "$WORK/www/ws$port/f.bin.torrent" --web-seed "http://127.0.0.1:$port/ws$port/f.bin" >/dev/null
done

vexa_warm_wine
TUNE="lsd=0;utp=0;listen_ip=127.0.0.3"
run() {  # run URL [TUNE]: prints seconds
  rm -f "$WORK/out/f.bin"*
  local out
  out=$(wine "$EXE" --engine "$(winepath -w "$DLL")" --quiet --interval 50 --tune "$TUNE${2:+;$2}" "$1" \
        "$(winepath -w "$WORK/out")\\f.bin" 2>/dev/null | grep '^final')
  cmp -s "$WORK/out/f.bin" "$WORK/www/plain/f.bin" || { echo "WRONG CONTENT from $1" >&2; }
  sed -n 's/.* seconds=\([0-9.]*\).*/\1/p' <<<"$out"
}
measure() {  # measure LABEL URL [TUNE]
  local times=() t
  for _ in $(seq "$RUNS"); do t=$(run "$2" "${3:-}"); times+=("$t"); done
  "$PYTHON" - "$1" "$SIZE_MB" "${times[@]}" <<'PY'
import statistics, sys
label, size = sys.argv[1], float(sys.argv[2])
times = [float(t) for t in sys.argv[3:]]
m = statistics.median(times)
print("%-38s median %7.2f s  %7.1f MB/s   runs: %s" %
      (label, m, size / m, " ".join("%.2f" % t for t in times)))
PY
}
echo "file: $SIZE_MB MiB from nginx on 127.0.0.1; $RUNS runs each"
measure "HTTP scheduler, unthrottled" "http://127.0.0.1:$PORT/plain/f.bin"
measure "swarm, engine's connections, unthrottled" "http://127.0.0.1:$PORT/ws$PORT/f.bin"
measure "swarm, web seeds, unthrottled" "http://127.0.0.1:$PORT/ws$PORT/f.bin" "http_feed=0"
measure "HTTP scheduler, ${RATE_MB} MiB/s per connection" "http://127.0.0.1:$RELAY/plain/f.bin"
measure "swarm, engine's connections, ${RATE_MB} MiB/s per conn." "http://127.0.0.1:$RELAY/ws$RELAY/f.bin"
measure "swarm, web seeds, ${RATE_MB} MiB/s per connection" "http://127.0.0.1:$RELAY/ws$RELAY/f.bin" "http_feed=0"

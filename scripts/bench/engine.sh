#!/usr/bin/env bash
# Benchmark of the transfer engine against curl (one connection) and aria2c (as many
# connections as ours), all on 127.0.0.1 against nginx serving a test file. Prints figures
# side by side; nothing here is a pass/fail test. Every server it starts is stopped at exit
# and lives at most BENCH_LIFETIME seconds.
#
#   scripts/bench/engine.sh            (needs a built tree: scripts/build.sh)
#   BENCH_SIZE_MB=1024      size of the unthrottled file
#   BENCH_CAPPED_MB=256     size of the file for the capped scenarios (4 MB/s per connection)
#   BENCH_RATE=4m           nginx limit_rate per connection
#   BENCH_ONLY="1 4"        run only these scenarios
#   BENCH_TAIL_RUNS=1       repetitions of the tail scenario (4), for each tool
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"

SIZE_MB="${BENCH_SIZE_MB:-1024}"
CAPPED_MB="${BENCH_CAPPED_MB:-256}"
RATE="${BENCH_RATE:-4m}"
LIFETIME="${BENCH_LIFETIME:-1500}"
CONNS=4  # our default connections per server
EXE="$VEXA_BUILD_DIR/win/tools/p2sp-get/p2sp-get.exe"
DLL="$VEXA_BUILD_DIR/win/src/engine/VexaP2SP.dll"
[[ -f "$EXE" && -f "$DLL" ]] || { echo "build first: scripts/build.sh" >&2; exit 2; }

WORK="$(mktemp -d /tmp/vexa-bench-XXXXXX)"
chmod 755 "$WORK"  # nginx's workers run as an unprivileged user
NGINX_PID=""
PROXY_PID=""
cleanup() {
  [[ -n "$PROXY_PID" ]] && kill "$PROXY_PID" 2>/dev/null || true
  [[ -n "$NGINX_PID" ]] && kill "$NGINX_PID" 2>/dev/null || true
  [[ -n "${WATCHDOG_PID:-}" ]] && kill "$WATCHDOG_PID" 2>/dev/null || true
  sleep 0.3
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { "$PYTHON" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
winpath() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
ratio() { "$PYTHON" -c "import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('%.2f' % (a/b if b else 0))" "$1" "$2"; }
mbps() { "$PYTHON" -c "import sys; print('%.1f' % (float(sys.argv[1])/1048576/float(sys.argv[2])))" "$1" "$2"; }

echo "== preparing files in $WORK"
mkdir -p "$WORK/www" "$WORK/out" "$WORK/nginx/tmp" "$WORK/logs"
head -c $((SIZE_MB * 1048576)) /dev/urandom > "$WORK/www/big.bin"
head -c $((CAPPED_MB * 1048576)) /dev/urandom > "$WORK/www/capped.bin"
BIG_MD5=$(md5sum < "$WORK/www/big.bin" | cut -d' ' -f1)
CAPPED_MD5=$(md5sum < "$WORK/www/capped.bin" | cut -d' ' -f1)

ORIGIN_PORT=$(free_port)
SEED_PORT=$(free_port)
cat > "$WORK/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/logs/error.log warn;
events { worker_connections 256; }
http {
    access_log off;
    client_body_temp_path $WORK/nginx/tmp/body;
    proxy_temp_path $WORK/nginx/tmp/proxy;
    fastcgi_temp_path $WORK/nginx/tmp/fastcgi;
    uwsgi_temp_path $WORK/nginx/tmp/uwsgi;
    scgi_temp_path $WORK/nginx/tmp/scgi;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 10000;
    log_format bytes '\$bytes_sent';
    server {
        listen 127.0.0.1:$ORIGIN_PORT;
        root $WORK/www;
        location /capped/ { alias $WORK/www/; limit_rate $RATE; }
        location /counted/ { alias $WORK/www/; limit_rate $RATE; access_log $WORK/logs/counted.log bytes; }
        location / { }
    }
    server {
        listen 127.0.0.1:$SEED_PORT;
        root $WORK/www;
        location /capped/ { alias $WORK/www/; limit_rate $RATE; }
    }
}
CONF
nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -e "$WORK/logs/error.log" &
NGINX_PID=$!
( sleep "$LIFETIME"; kill "$NGINX_PID" 2>/dev/null ) >/dev/null 2>&1 &
WATCHDOG_PID=$!
for _ in $(seq 50); do curl -sf -r 0-0 -o /dev/null "http://127.0.0.1:$ORIGIN_PORT/big.bin" && break; sleep 0.1; done
ORIGIN="http://127.0.0.1:$ORIGIN_PORT"
SEED="http://127.0.0.1:$SEED_PORT"

vexa_warm_wine
WINESERVER_PID=$(pgrep -u "$(id -u)" -f "wineserver" | while read -r p; do
  { tr '\0' '\n' < "/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$p"; done | head -1 || true)
proc_cpu() {  # user+system seconds of one process
  [[ -n "$1" && -r /proc/$1/stat ]] || { echo 0; return; }
  awk -v hz="$(getconf CLK_TCK)" '{print ($14+$15)/hz}' "/proc/$1/stat"
}

# Runs the front end; sets OURS_SECONDS, OURS_WIRE, OURS_CPU (ours + wine server), OURS_OK.
run_ours() {
  local url="$1" target="$2" want="$3" seeds="${4:-}" tune="${5:-}"
  rm -f "$target" "$target.P2P" "$target.P2P.rec"
  local ws0; ws0=$(proc_cpu "$WINESERVER_PID")
  local args=(--quiet --interval 50)
  [[ -n "$seeds" ]] && args+=(--seeds "$seeds")
  [[ -n "$tune" ]] && args+=(--tune "$tune")
  /usr/bin/time -f "%U %S" -o "$WORK/time.txt" \
    wine "$EXE" --engine "$(winpath "$DLL")" "${args[@]}" "$url" "$(winpath "$target")" \
    > "$WORK/ours.txt" 2>/dev/null || true
  local ws1; ws1=$(proc_cpu "$WINESERVER_PID")
  local final; final=$(grep '^final' "$WORK/ours.txt" || true)
  OURS_SECONDS=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$final")
  OURS_WIRE=$(sed -n 's/.*wire=\([0-9]*\).*/\1/p' <<<"$final")
  OURS_CPU=$("$PYTHON" -c "import sys; u,s=open(sys.argv[1]).read().split()[-2:]; print('%.2f' % (float(u)+float(s)+float(sys.argv[3])-float(sys.argv[2])))" <(tail -n 1 "$WORK/time.txt") "$ws0" "$ws1")
  OURS_OK=no
  [[ -f "$target" && "$(md5sum < "$target" | cut -d' ' -f1)" == "$want" ]] && OURS_OK=yes
  rm -f "$target"
}

run_curl() {
  local url="$1" target="$2"
  local t0; t0=$(now)
  /usr/bin/time -f "%U %S" -o "$WORK/time.txt" curl -s -o "$target" "$url"
  CURL_SECONDS=$("$PYTHON" -c "import sys,time; print('%.3f' % (float(sys.argv[2])-float(sys.argv[1])))" "$t0" "$(now)")
  CURL_CPU=$(tail -n 1 "$WORK/time.txt" | awk '{printf "%.2f", $1+$2}')
  rm -f "$target"
}

run_aria() {
  local target="$1"; shift
  rm -f "$target" "$target.aria2"
  local t0; t0=$(now)
  aria2c -q --allow-overwrite=true --file-allocation=none --auto-file-renaming=false \
    -x "$CONNS" -s "$CONNS" --min-split-size=1M -d "$(dirname "$target")" -o "$(basename "$target")" "$@" || true
  ARIA_SECONDS=$("$PYTHON" -c "import sys,time; print('%.3f' % (float(sys.argv[2])-float(sys.argv[1])))" "$t0" "$(now)")
  rm -f "$target" "$target.aria2"
}

wanted() { [[ -z "${BENCH_ONLY:-}" || " $BENCH_ONLY " == *" $1 "* ]]; }
U_OURS_CPU=0 UNTHROTTLED_CURL_CPU=0 U_OURS_WIRE=0 C_OURS_WIRE=0 S_OURS_WIRE=0 C_OURS_S=0
BIG=$((SIZE_MB * 1048576))
CAPPED=$((CAPPED_MB * 1048576))

# ---- 1. unthrottled -------------------------------------------------------------------
if wanted 1; then
echo "== 1. unthrottled, ${SIZE_MB} MiB, origin only (best of two runs each)"
# Best of two runs each: the machine is shared, and single runs vary by a factor of two.
best_curl=""
for _ in 1 2; do
  run_curl "$ORIGIN/big.bin" "$WORK/out/big-curl.bin"
  if [[ -z "$best_curl" ]] || "$PYTHON" -c "import sys; sys.exit(not float(sys.argv[1]) < float(sys.argv[2]))" "$CURL_SECONDS" "$best_curl"; then
    best_curl=$CURL_SECONDS best_curl_cpu=$CURL_CPU
  fi
done
CURL_SECONDS=$best_curl CURL_CPU=$best_curl_cpu
U_OURS_S=""
for _ in 1 2; do
  run_ours "$ORIGIN/big.bin" "$WORK/out/big-ours.bin" "$BIG_MD5"
  if [[ -z "$U_OURS_S" ]] || "$PYTHON" -c "import sys; sys.exit(not float(sys.argv[1]) < float(sys.argv[2]))" "$OURS_SECONDS" "$U_OURS_S"; then
    U_OURS_S=$OURS_SECONDS U_OURS_WIRE=$OURS_WIRE U_OURS_CPU=$OURS_CPU U_OK=$OURS_OK
  fi
done
run_aria "$WORK/out/big-aria.bin" "$ORIGIN/big.bin"
printf "   curl (1 conn)   %8.2f s  %7s MiB/s  cpu %5.2f s\n" "$CURL_SECONDS" "$(mbps $BIG "$CURL_SECONDS")" "$CURL_CPU"
printf "   aria2c (%d)      %8.2f s  %7s MiB/s\n" "$CONNS" "$ARIA_SECONDS" "$(mbps $BIG "$ARIA_SECONDS")"
printf "   ours (%d)        %8.2f s  %7s MiB/s  cpu %5.2f s (with wine server)  md5 ok: %s\n" \
  "$CONNS" "$U_OURS_S" "$(mbps $BIG "$U_OURS_S")" "$U_OURS_CPU" "$U_OK"
echo "   ours/curl throughput: $(ratio "$CURL_SECONDS" "$U_OURS_S")   (target >= 0.8)"
UNTHROTTLED_CURL_CPU=$CURL_CPU
fi

# ---- 2. every connection capped --------------------------------------------------------
if wanted 2; then
echo "== 2. each connection capped at $RATE/s, ${CAPPED_MB} MiB"
run_aria "$WORK/out/cap-aria.bin" "$ORIGIN/capped/capped.bin"
run_ours "$ORIGIN/capped/capped.bin" "$WORK/out/cap-ours.bin" "$CAPPED_MD5"
C_OURS_S=$OURS_SECONDS C_OURS_WIRE=$OURS_WIRE C_OK=$OURS_OK
printf "   aria2c (%d)      %8.2f s\n   ours (%d)        %8.2f s  md5 ok: %s\n" \
  "$CONNS" "$ARIA_SECONDS" "$CONNS" "$C_OURS_S" "$C_OK"
echo "   ours/aria2c time: $(ratio "$C_OURS_S" "$ARIA_SECONDS")   (target <= 1.0)"
fi

# ---- 3. origin and seed, both capped ----------------------------------------------------
if wanted 3; then
echo "== 3. origin + seed, both capped at $RATE/s per connection, ${CAPPED_MB} MiB"
run_ours "$ORIGIN/capped/capped.bin" "$WORK/out/seed-ours.bin" "$CAPPED_MD5" "$SEED/capped"
S_OURS_S=$OURS_SECONDS S_OURS_WIRE=$OURS_WIRE S_OK=$OURS_OK
printf "   origin alone    %8.2f s\n   origin + seed   %8.2f s  md5 ok: %s\n" "$C_OURS_S" "$S_OURS_S" "$S_OK"
echo "   speed-up with the seed: $(ratio "$C_OURS_S" "$S_OURS_S")   (target >= 1.8)"
fi

# ---- 4. one connection stalls near the end ---------------------------------------------
if wanted 4; then
TAIL_RUNS="${BENCH_TAIL_RUNS:-1}"
echo "== 4. one connection stalls at 99 % (relay in front of the capped origin), $TAIL_RUNS run(s) each"
echo "   after 99 % of the file has passed the relay, it stalls the first connection about to pass"
echo "   bytes nobody else fetches; tail = 99 % -> the program's exit (ours includes Wine's exit,"
echo "   about 0.6 s); relay = 99 % -> every byte passed the relay (may count bytes left unread)"
tail_run() {  # tool label, then the command; sets TAIL (to the exit) and RELAY_TAIL
  local label="$1"; shift
  local port; port=$(free_port)
  rm -f "$WORK/proxy.txt"
  "$PYTHON" scripts/bench/stall_proxy.py "$port" "$ORIGIN_PORT" "$CAPPED" "$WORK/proxy.txt" 300 &
  PROXY_PID=$!
  sleep 0.5
  local url="http://127.0.0.1:$port/capped/capped.bin"
  "$@" "$url"
  local t_end; t_end=$(now)
  kill "$PROXY_PID" 2>/dev/null || true
  wait "$PROXY_PID" 2>/dev/null || true
  PROXY_PID=""
  local t99 t100 ahead
  t99=$(awk '$1 == "t99" {print $2}' "$WORK/proxy.txt" 2>/dev/null)
  t100=$(awk '$1 == "t100" {print $2}' "$WORK/proxy.txt" 2>/dev/null)
  ahead=$(awk '$1 == "stalled" {print $4}' "$WORK/proxy.txt" 2>/dev/null)
  t99=${t99:-$t_end} t100=${t100:-$t_end}
  RELAY_TAIL=$("$PYTHON" -c "import sys; print('%.2f' % (float(sys.argv[2])-float(sys.argv[1])))" "$t99" "$t100")
  TAIL=$("$PYTHON" -c "import sys; print('%.2f' % (float(sys.argv[2])-float(sys.argv[1])))" "$t99" "$t_end")
  printf "   %-14s tail %6.2f s  relay %6.2f s  (stalled with %s KiB ahead)\n" "$label" "$TAIL" "$RELAY_TAIL" "$(( ${ahead:-0} / 1024 ))"
}
aria_tail() { run_aria "$WORK/out/tail-aria.bin" "$1"; }
ours_tail() { run_ours "$1" "$WORK/out/tail-ours.bin" "$CAPPED_MD5"; echo "   ours md5 ok: $OURS_OK  wire/size $(ratio "$OURS_WIRE" $CAPPED)"; }
ARIA_TAILS="" OURS_TAILS=""
for _ in $(seq "$TAIL_RUNS"); do
  tail_run "aria2c ($CONNS)" aria_tail
  ARIA_TAILS="$ARIA_TAILS $TAIL"
  tail_run "ours ($CONNS)" ours_tail
  OURS_TAILS="$OURS_TAILS $TAIL"
done
median() { "$PYTHON" -c "import sys,statistics; print('%.2f' % statistics.median(map(float, sys.argv[1:])))" "$@"; }
ARIA_TAIL=$(median $ARIA_TAILS) TAIL=$(median $OURS_TAILS)
echo "   median tail: aria2c $ARIA_TAIL s, ours $TAIL s"
echo "   ours/aria2c tail: $(ratio "$TAIL" "$ARIA_TAIL")   (target: far below 1)"
fi

# ---- 5. kill -9 and resume -------------------------------------------------------------
if wanted 5; then
echo "== 5. kill -9 at about half, then resume (capped, ${CAPPED_MB} MiB)"
: > "$WORK/logs/counted.log"
target="$WORK/out/kill-ours.bin"
rm -f "$target" "$target.P2P" "$target.P2P.rec"
: > "$WORK/kill1.txt"
wine "$EXE" --engine "$(winpath "$DLL")" --interval 50 "$ORIGIN/counted/capped.bin" "$(winpath "$target")" \
  > "$WORK/kill1.txt" 2>/dev/null &
KPID=$!
for _ in $(seq 600); do
  done_now=$(tail -n 1 "$WORK/kill1.txt" 2>/dev/null | sed -n 's/.*done=\([0-9]*\).*/\1/p' || true)
  [[ -n "$done_now" && "$done_now" -ge $((CAPPED / 2)) ]] && break
  sleep 0.2
done
kill -9 "$KPID" 2>/dev/null || true
wait "$KPID" 2>/dev/null || true
sleep 1
wine "$EXE" --engine "$(winpath "$DLL")" --interval 200 "$ORIGIN/counted/capped.bin" "$(winpath "$target")" > "$WORK/kill2.txt" 2>/dev/null || true
sleep 1
served=$(awk '{s+=$1} END {print s+0}' "$WORK/logs/counted.log")
K_OK=no
[[ -f "$target" && "$(md5sum < "$target" | cut -d' ' -f1)" == "$CAPPED_MD5" ]] && K_OK=yes
# What the client lost: bytes it had written before the kill that the record did not
# vouch for, plus whatever the second run fetched beyond what was missing.
last_done=$(grep '^progress' "$WORK/kill1.txt" | tail -n 1 | sed -n 's/.*done=\([0-9]*\).*/\1/p' || true)
kept=$(sed -n 's/.*resumed=\([0-9]*\).*/\1/p' "$WORK/kill2.txt")
wire2=$(sed -n 's/.*wire=\([0-9]*\).*/\1/p' "$WORK/kill2.txt")
again=$("$PYTHON" -c "import sys; d,k,w,n=map(int,sys.argv[1:]); print(max(0,d-k)+max(0,w-(n-k)))" "${last_done:-0}" "${kept:-0}" "${wire2:-0}" "$CAPPED")
echo "   killed with $((last_done / 1048576)) MiB written; the record kept $((kept / 1048576)) MiB; md5 ok: $K_OK"
echo "   bytes downloaded again: $again ($(ratio "$again" $CAPPED) of the file)"
echo "   (nginx sent $((served - CAPPED)) bytes more than the file, counting what sat in socket buffers at the kill)"
fi

# ---- summary ---------------------------------------------------------------------------
echo "== summary"
echo "   CPU per GiB, unthrottled: ours $("$PYTHON" -c "print('%.2f' % ($U_OURS_CPU*1024/$SIZE_MB))") s (engine + front end + wine server), curl $("$PYTHON" -c "print('%.2f' % ($UNTHROTTLED_CURL_CPU*1024/$SIZE_MB))") s"
echo "   wire bytes / file size: unthrottled $(ratio "$U_OURS_WIRE" $BIG), capped $(ratio "$C_OURS_WIRE" $CAPPED), with seed $(ratio "$S_OURS_WIRE" $CAPPED)"

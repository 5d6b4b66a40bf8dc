#!/usr/bin/env bash
# Benchmark of the transfer engine against curl and aria2c, all on 127.0.0.1 against nginx
# serving test files. Prints figures side by side; nothing here is a pass/fail test.
# Every tool is measured the same way: the whole process from start to exit (Wine's start
# and exit included for ours), the same number of runs (median and spread printed), the
# MD5 of what it wrote, and the bytes nginx sent for it (from nginx's access log). Every
# server it starts, the wine server included, is stopped at exit; servers live at most
# BENCH_LIFETIME seconds.
#
#   scripts/bench/engine.sh            (needs a built tree: scripts/build.sh)
#   BENCH_SIZE_MB=1024      size of the unthrottled file
#   BENCH_CAPPED_MB=256     size of the file for the capped scenarios
#   BENCH_RATE=4m           nginx limit_rate per connection
#   BENCH_RUNS=3            runs of every tool in every scenario
#   BENCH_ONLY="1 4"        run only these scenarios
#   BENCH_ENGINE_DLL=PATH   the engine module to measure (default: this tree's)
#   BENCH_BASELINE_DLL=PATH another engine module measured beside it as "earlier" in the
#                           unthrottled and capped scenarios (for example the last release's)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"

SIZE_MB="${BENCH_SIZE_MB:-1024}"
CAPPED_MB="${BENCH_CAPPED_MB:-256}"
RATE="${BENCH_RATE:-4m}"
RUNS="${BENCH_RUNS:-3}"
LIFETIME="${BENCH_LIFETIME:-3000}"
EXE="$VEXA_BUILD_DIR/win/tools/p2sp-get/p2sp-get.exe"
DLL="${BENCH_ENGINE_DLL:-$VEXA_BUILD_DIR/win/src/engine/VexaP2SP.dll}"  # another build to compare
BASELINE_DLL="${BENCH_BASELINE_DLL:-}"
[[ -f "$EXE" && -f "$DLL" ]] || { echo "build first: scripts/build.sh" >&2; exit 2; }
[[ -z "$BASELINE_DLL" || -f "$BASELINE_DLL" ]] || { echo "no such module: $BASELINE_DLL" >&2; exit 2; }

WORK="$(mktemp -d /tmp/vexa-bench-XXXXXX)"
chmod 755 "$WORK"  # nginx's workers run as an unprivileged user
NGINX_PID="" PROXY_PID="" WATCHDOG_PID="" OWN_WINESERVER=0 RELAY_PIDS=()
cleanup() {
  [[ -n "$PROXY_PID" ]] && kill "$PROXY_PID" 2>/dev/null || true
  for p in "${RELAY_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  [[ -n "$NGINX_PID" ]] && kill "$NGINX_PID" 2>/dev/null || true
  [[ -n "$WATCHDOG_PID" ]] && kill "$WATCHDOG_PID" 2>/dev/null || true
  [[ "$OWN_WINESERVER" == 1 ]] && wineserver -k >/dev/null 2>&1 || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

py() { "$PYTHON" -c "$@"; }
free_port() { py 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
winpath() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
ratio() { py "import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('%.2f' % (a/b if b else 0))" "$1" "$2"; }
# "median (min-max)" of the numbers given
spread() { py "import sys,statistics as s; v=sorted(map(float,sys.argv[1:])); print('%.2f (%.2f-%.2f)' % (s.median(v), v[0], v[-1]))" "$@"; }
median() { py "import sys,statistics as s; print('%.3f' % s.median(map(float,sys.argv[1:])))" "$@"; }

echo "== preparing files in $WORK"
mkdir -p "$WORK/www" "$WORK/out" "$WORK/nginx/tmp" "$WORK/logs"
head -c $((SIZE_MB * 1048576)) /dev/urandom > "$WORK/www/big.bin"
head -c $((CAPPED_MB * 1048576)) /dev/urandom > "$WORK/www/capped.bin"
BIG_MD5=$(md5sum < "$WORK/www/big.bin" | cut -d' ' -f1)
CAPPED_MD5=$(md5sum < "$WORK/www/capped.bin" | cut -d' ' -f1)
BIG=$((SIZE_MB * 1048576))
CAPPED=$((CAPPED_MB * 1048576))

ORIGIN_PORT=$(free_port)
SEED_PORT=$(free_port)
WIRE_LOG="$WORK/logs/wire.log"
cat > "$WORK/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/logs/error.log warn;
events { worker_connections 1024; }
http {
    client_body_temp_path $WORK/nginx/tmp/body;
    proxy_temp_path $WORK/nginx/tmp/proxy;
    fastcgi_temp_path $WORK/nginx/tmp/fastcgi;
    uwsgi_temp_path $WORK/nginx/tmp/uwsgi;
    scgi_temp_path $WORK/nginx/tmp/scgi;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 100000;
    log_format bytes '\$bytes_sent';
    access_log $WIRE_LOG bytes;
    server {
        listen 127.0.0.1:$ORIGIN_PORT;
        root $WORK/www;
        location /capped/ { alias $WORK/www/; limit_rate $RATE; }
        location / { }
    }
    server {
        listen 127.0.0.1:$SEED_PORT;
        root $WORK/www;
        location /capped/ { alias $WORK/www/; limit_rate $RATE; }
        location / { }
    }
}
CONF
nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -e "$WORK/logs/error.log" >/dev/null 2>&1 &
NGINX_PID=$!
( sleep "$LIFETIME"; kill "$NGINX_PID" 2>/dev/null ) >/dev/null 2>&1 &
WATCHDOG_PID=$!
for _ in $(seq 100); do curl -sf -r 0-0 -o /dev/null "http://127.0.0.1:$ORIGIN_PORT/big.bin" && break; sleep 0.1; done
ORIGIN="http://127.0.0.1:$ORIGIN_PORT"
SEED="http://127.0.0.1:$SEED_PORT"

# Relays that cap every connection (not every request) at RATE, in front of each server.
RATE_BYTES=$(py "import sys; v=sys.argv[1].lower(); m={'k':1024,'m':1048576,'g':1073741824}; print(int(float(v[:-1])*m[v[-1]]) if v[-1] in m else int(v))" "$RATE")
start_relay() {  # start_relay UPSTREAM_PORT VAR: sets VAR to the relay's address
  local port; port=$(free_port)
  "$PYTHON" scripts/bench/rate_relay.py "$port" "$1" "$RATE_BYTES" "$LIFETIME" > "$WORK/relay-$port.txt" 2>&1 &
  RELAY_PIDS+=($!)
  for _ in $(seq 100); do grep -q ready "$WORK/relay-$port.txt" 2>/dev/null && break; sleep 0.1; done
  printf -v "$2" 'http://127.0.0.1:%s' "$port"
}
start_relay "$ORIGIN_PORT" ORIGIN_RELAY
start_relay "$SEED_PORT" SEED_RELAY

# The wine server: a running one is used (and left running); one started here is stopped.
wine_server_pid() {
  pgrep -u "$(id -u)" -f wineserver | while read -r p; do
    { tr '\0' '\n' < "/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$p"
  done | head -1 || true
}
[[ -n "$(wine_server_pid)" ]] || OWN_WINESERVER=1
vexa_warm_wine

# Bytes nginx sent since the log was last cleared; waits until nginx has logged every
# request (a request is logged when its connection finishes it).
wire_bytes() {
  local last=-1 cur
  for _ in $(seq 50); do
    cur=$(awk '{s+=$1} END {print s+0}' "$WIRE_LOG")
    [[ "$cur" == "$last" ]] && break
    last=$cur
    sleep 0.2
  done
  echo "$cur"
}

# Runs one tool once: tool_run LABEL WANT_MD5 TARGET COMMAND...; the command writes TARGET.
# Appends "seconds wire md5ok" to $WORK/runs/LABEL.
tool_run() {
  local label="$1" want="$2" target="$3"; shift 3
  mkdir -p "$WORK/runs"
  rm -f "$target" "$target".*
  : > "$WIRE_LOG"
  local t0 t1; t0=$(now)
  "$@" >/dev/null 2>&1 </dev/null || true
  t1=$(now)
  local wire; wire=$(wire_bytes)
  local ok=no
  [[ -f "$target" && "$(md5sum < "$target" | cut -d' ' -f1)" == "$want" ]] && ok=yes
  rm -f "$target" "$target".*
  echo "$(py "print('%.3f' % ($t1 - $t0))") $wire $ok" >> "$WORK/runs/$label"
}

ours() {  # ours TARGET URL [extra p2sp-get options...]
  local target="$1" url="$2"; shift 2
  wine "$EXE" --engine "$(winpath "$DLL")" --quiet --interval 50 "$@" "$url" "$(winpath "$target")"
}
earlier() {  # earlier TARGET URL: the same with the baseline module
  wine "$EXE" --engine "$(winpath "$BASELINE_DLL")" --quiet --interval 50 "$2" "$(winpath "$1")"
}
# The baseline module's entry for a scenario, when one is given: baseline LABEL URL
baseline() { [[ -n "$BASELINE_DLL" ]] && echo "$1|earlier TARGET $2" || true; }
aria() {  # aria CONNS TARGET URL...
  local n="$1" target="$2"; shift 2
  aria2c -q --allow-overwrite=true --file-allocation=none --auto-file-renaming=false \
    -x "$n" -s "$n" --min-split-size=1M -d "$(dirname "$target")" -o "$(basename "$target")" "$@"
}
aria_total() {  # aria_total TOTAL PER_SERVER TARGET URL...: several servers, TOTAL connections
  local total="$1" per="$2" target="$3"; shift 3
  aria2c -q --allow-overwrite=true --file-allocation=none --auto-file-renaming=false \
    -x "$per" -s "$total" --min-split-size=1M -d "$(dirname "$target")" -o "$(basename "$target")" "$@"
}
curl_get() { curl -s -o "$1" "$2"; }

# Runs every tool RUNS times, interleaved so that a busy moment of the machine hits all.
# scenario SIZE MD5 "LABEL|COMMAND ..." ...   (TARGET in a command is replaced)
scenario() {
  local size="$1" want="$2"; shift 2
  local spec label cmd
  for _ in $(seq "$RUNS"); do
    for spec in "$@"; do
      label="${spec%%|*}" cmd="${spec#*|}"
      local target="$WORK/out/$(tr -c 'a-zA-Z0-9' _ <<<"$label").bin"
      # shellcheck disable=SC2086
      tool_run "$label" "$want" "$target" ${cmd//TARGET/$target}
    done
  done
  for spec in "$@"; do
    label="${spec%%|*}"
    local f="$WORK/runs/$label"
    local secs wires oks
    secs=$(awk '{print $1}' "$f" | tr '\n' ' ')
    wires=$(awk -v n="$size" '{printf "%.4f ", $2/n}' "$f")
    oks=$(awk '{print $3}' "$f" | sort | uniq -c | tr -s ' ' | tr '\n' ' ')
    printf "   %-24s %-22s s   wire/size %-22s md5 ok: %s\n" "$label" "$(spread $secs)" "$(spread $wires)" "$oks"
  done
}
med() { median $(awk '{print $1}' "$WORK/runs/$1"); }
medwire() { median $(awk -v n="$2" '{print $2/n}' "$WORK/runs/$1"); }

wanted() { [[ -z "${BENCH_ONLY:-}" || " $BENCH_ONLY " == *" $1 "* ]]; }
echo "== $RUNS run(s) of every tool per scenario; times are whole processes, median (min-max)"
echo "   (the machine may be shared with other work: compare tools within one scenario)"

# ---- 1. unthrottled -------------------------------------------------------------------
if wanted 1; then
echo "== 1. unthrottled, ${SIZE_MB} MiB, one server"
specs=("curl|curl_get TARGET $ORIGIN/big.bin" "aria2c -x16 -s16|aria 16 TARGET $ORIGIN/big.bin"
       "ours|ours TARGET $ORIGIN/big.bin")
[[ -n "$BASELINE_DLL" ]] && specs+=("$(baseline earlier "$ORIGIN/big.bin")")
scenario "$BIG" "$BIG_MD5" "${specs[@]}"
echo "   ours/curl time: $(ratio "$(med ours)" "$(med curl)")   ours/aria2c -x16 time: $(ratio "$(med ours)" "$(med 'aria2c -x16 -s16')")"
[[ -n "$BASELINE_DLL" ]] && echo "   ours/earlier time: $(ratio "$(med ours)" "$(med earlier)")"
fi

# ---- 2. every connection capped --------------------------------------------------------
if wanted 2; then
echo "== 2. each connection capped at $RATE/s, ${CAPPED_MB} MiB, one server"
echo "   a. by a relay with a token bucket per connection"
specs=("aria2c -x4 -s4 (capped)|aria 4 TARGET $ORIGIN_RELAY/capped.bin"
       "aria2c -x16 -s16 (capped)|aria 16 TARGET $ORIGIN_RELAY/capped.bin"
       "ours (capped)|ours TARGET $ORIGIN_RELAY/capped.bin")
[[ -n "$BASELINE_DLL" ]] && specs+=("$(baseline 'earlier (capped)' "$ORIGIN_RELAY/capped.bin")")
scenario "$CAPPED" "$CAPPED_MD5" "${specs[@]}"
echo "   ours/aria2c -x16 time: $(ratio "$(med 'ours (capped)')" "$(med 'aria2c -x16 -s16 (capped)')")   (goal <= 1.05)   wire/size ours $(medwire 'ours (capped)' "$CAPPED")   (goal <= 1.02)"
[[ -n "$BASELINE_DLL" ]] && echo "   earlier/aria2c -x16 time: $(ratio "$(med 'earlier (capped)')" "$(med 'aria2c -x16 -s16 (capped)')")"
echo "   b. by nginx's limit_rate, which applies per request and passes each request's first"
echo "      second's worth at once (ours sends bounded requests, so it is hardly limited)"
scenario "$CAPPED" "$CAPPED_MD5" \
  "aria2c -x16 (limit_rate)|aria 16 TARGET $ORIGIN/capped/capped.bin" \
  "ours (limit_rate)|ours TARGET $ORIGIN/capped/capped.bin"
echo "   ours/aria2c -x16 time: $(ratio "$(med 'ours (limit_rate)')" "$(med 'aria2c -x16 (limit_rate)')")"
fi

# ---- 3. origin and seed, both capped ----------------------------------------------------
if wanted 3; then
echo "== 3. origin + seed, every connection to each capped at $RATE/s (relays), ${CAPPED_MB} MiB"
echo "   aria2c gets both servers and the most connections ours may use (16 per server, 32 in all)"
scenario "$CAPPED" "$CAPPED_MD5" \
  "aria2c 32 (2 servers)|aria_total 32 16 TARGET $ORIGIN_RELAY/capped.bin $SEED_RELAY/capped.bin" \
  "ours + seed|ours TARGET $ORIGIN_RELAY/capped.bin --seeds $SEED_RELAY"
echo "   ours/aria2c time: $(ratio "$(med 'ours + seed')" "$(med 'aria2c 32 (2 servers)')")"
[[ -f "$WORK/runs/ours (capped)" ]] && echo "   speed-up of ours with the seed: $(ratio "$(med 'ours (capped)')" "$(med 'ours + seed')")"
fi

# ---- 4. one connection stalls near the end ---------------------------------------------
if wanted 4; then
echo "== 4. one connection stalls at 99 % (relay in front of the capped origin), ${CAPPED_MB} MiB"
echo "   tail = 99 % passed the relay -> the process exited (MD5 and clean-up come after, for both)"
tail_run() {  # tail_run LABEL COMMAND... (URL appended); appends the tail to runs/LABEL.tail
  local label="$1"; shift
  local port; port=$(free_port)
  rm -f "$WORK/proxy.txt"
  "$PYTHON" scripts/bench/stall_proxy.py "$port" "$ORIGIN_PORT" "$CAPPED" "$WORK/proxy.txt" 300 >/dev/null 2>&1 &
  PROXY_PID=$!
  for _ in $(seq 50); do curl -sf -r 0-0 -o /dev/null "http://127.0.0.1:$port/capped/capped.bin" && break; sleep 0.1; done
  rm -f "$WORK/proxy.txt"
  local target="$WORK/out/tail.bin"
  rm -f "$target" "$target".*
  "$@" "$target" "http://127.0.0.1:$port/capped/capped.bin" >/dev/null 2>&1 </dev/null || true
  local t_end; t_end=$(now)
  kill "$PROXY_PID" 2>/dev/null || true
  wait "$PROXY_PID" 2>/dev/null || true
  PROXY_PID=""
  local ok=no
  [[ -f "$target" && "$(md5sum < "$target" | cut -d' ' -f1)" == "$CAPPED_MD5" ]] && ok=yes
  rm -f "$target" "$target".*
  local t99; t99=$(awk '$1 == "t99" {print $2}' "$WORK/proxy.txt" 2>/dev/null)
  echo "$(py "print('%.3f' % ($t_end - ${t99:-$t_end}))") $ok" >> "$WORK/runs/$label.tail"
}
mkdir -p "$WORK/runs"
for _ in $(seq "$RUNS"); do
  tail_run "aria2c -x16 -s16" aria 16
  tail_run "ours" ours
done
for label in "aria2c -x16 -s16" "ours"; do
  printf "   %-24s tail %-22s s   md5 ok: %s\n" "$label" "$(spread $(awk '{print $1}' "$WORK/runs/$label.tail"))" \
    "$(awk '{print $2}' "$WORK/runs/$label.tail" | sort | uniq -c | tr -s ' ' | tr '\n' ' ')"
done
echo "   ours/aria2c tail: $(ratio "$(median $(awk '{print $1}' "$WORK/runs/ours.tail"))" "$(median $(awk '{print $1}' "$WORK/runs/aria2c -x16 -s16.tail"))")"
fi

# ---- 5. kill -9 and resume -------------------------------------------------------------
if wanted 5; then
echo "== 5. kill -9 at about half, then resume (capped, ${CAPPED_MB} MiB; ours only)"
target="$WORK/out/kill-ours.bin"
rm -f "$target" "$target".*
: > "$WIRE_LOG"
wine "$EXE" --engine "$(winpath "$DLL")" --interval 50 "$ORIGIN/capped/capped.bin" "$(winpath "$target")" \
  > "$WORK/kill1.txt" 2>/dev/null &
KPID=$!
for _ in $(seq 1200); do
  done_now=$(tail -n 1 "$WORK/kill1.txt" 2>/dev/null | sed -n 's/.*done=\([0-9]*\).*/\1/p' || true)
  [[ -n "$done_now" && "$done_now" -ge $((CAPPED / 2)) ]] && break
  sleep 0.1
done
kill -9 "$KPID" 2>/dev/null || true
wait "$KPID" 2>/dev/null || true
wine "$EXE" --engine "$(winpath "$DLL")" --interval 200 "$ORIGIN/capped/capped.bin" "$(winpath "$target")" > "$WORK/kill2.txt" 2>/dev/null || true
served=$(wire_bytes)
K_OK=no
[[ -f "$target" && "$(md5sum < "$target" | cut -d' ' -f1)" == "$CAPPED_MD5" ]] && K_OK=yes
last_done=$(grep '^progress' "$WORK/kill1.txt" | tail -n 1 | sed -n 's/.*done=\([0-9]*\).*/\1/p' || true)
kept=$(sed -n 's/.*resumed=\([0-9]*\).*/\1/p' "$WORK/kill2.txt")
echo "   killed with $((${last_done:-0} / 1048576)) MiB written; the record kept $((${kept:-0} / 1048576)) MiB; md5 ok: $K_OK"
echo "   nginx sent $(ratio "$served" $CAPPED)x the file over both runs (bytes in socket buffers at the kill included)"
fi

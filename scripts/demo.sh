#!/usr/bin/env bash
# The main job: builds the program, publishes a demo package with the publisher's kit and runs
# a stamped copy of the program against it under Wine.
#
#  1. makes a demo package: three files of a few tens of MiB and a companion installer
#     stand-in (generated), the skin image;
#  2. `vexa_publish author` writes its configuration document, `vexa_publish stage` lays out
#     a web root (document, files, a seed copy of every file, a torrent beside every file)
#     and the configurations of nginx and of the publisher's tracker (opentracker);
#  3. starts that nginx and the tracker on 127.0.0.1 (free ports, a bounded lifetime) and
#     prints `vexa_publish check`'s table;
#  4. stamps a copy of the program for the package against that server and runs it;
#  5. with a display ($DISPLAY reachable) you drive the program and the demo ends when you
#     close it; without one the demo runs under Xvfb and drives the program itself: the
#     initialising window, the download window, the download of the three files, the install
#     prompt and "立即安装", which starts the installer (a stand-in that records it ran, in
#     test builds), saving a screenshot at each stage it reaches (the paths are printed);
#  6. prints the statistics the program reported (`vexa_publish stats`);
#  7. two copies of the engine (its front end p2sp-get) share a file through the swarm: the
#     first downloads it and stays to serve it, the second, whose origin is throttled for
#     this step, takes most of it from the first (its status record's peer bytes and seed
#     speed are printed); then stops everything it started.
#
# VEXA_DEMO_SKIP_BUILD=1 uses the build as it is; VEXA_DEMO_STAGE_SECONDS bounds the wait
# for each further stage (default 15); VEXA_DEMO_LIFETIME bounds nginx's life (default 1800);
# VEXA_DEMO_DIR is where everything goes (default build/demo). VEXA_DEMO_HEADLESS=1 drives
# the program on the display at hand and leaves the wine server running (the test command
# runs the demo that way beside other tests).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VEXA_ROOT"

[[ "${VEXA_DEMO_SKIP_BUILD:-0}" == 1 ]] || bash scripts/build.sh >/dev/null

HOST_TOOLS="$VEXA_BUILD_DIR/host/tools"
PUBLISH="$HOST_TOOLS/vexa_publish"
DEMO_DIR="${VEXA_DEMO_DIR:-$VEXA_BUILD_DIR/demo}"
DEMO_ID="{CBF64884-192F-484C-8741-9223167E5D6B}"
STAGE_SECONDS="${VEXA_DEMO_STAGE_SECONDS:-15}"
say() { echo "[demo] $*"; }

rm -rf "$DEMO_DIR"
mkdir -p "$DEMO_DIR/package" "$DEMO_DIR/shots"
chmod 755 "$DEMO_DIR"

# --- 1. the package --------------------------------------------------------------------
# Generated content: a fixed key run through AES-CTR would do as well; urandom is quickest.
head -c $((24 * 1024 * 1024 + 123)) /dev/urandom >"$DEMO_DIR/package/demo_part1.bin"
head -c $((32 * 1024 * 1024 + 45)) /dev/urandom >"$DEMO_DIR/package/demo_part2.bin"
# The installer: a stand-in that records it ran ("<its path>.ran") when the test build made
# one, padded to the size of a real one; random bytes otherwise.
STAND_IN="$VEXA_BUILD_DIR/win/tests/support/vexa_standin_installer.exe"
if [[ -f "$STAND_IN" ]]; then
  cp "$STAND_IN" "$DEMO_DIR/package/demo_setup.exe"
  head -c $((56 * 1024 * 1024 + 6)) /dev/urandom >>"$DEMO_DIR/package/demo_setup.exe"
else
  head -c $((56 * 1024 * 1024 + 6)) /dev/urandom >"$DEMO_DIR/package/demo_setup.exe"
fi
# The companion's stand-in: a small Windows program signed by a signer of the demo's own
# (`check` verifies the signature and notes that it cannot vouch for the signer).
PYTHONPATH=tests/tools/publish "$PYTHON" -c 'import sys; from publish_site import write_pe, sign_pe
write_pe(sys.argv[1], b"demo companion"); sign_pe(sys.argv[1], sys.argv[2])' \
  "$DEMO_DIR/package/QuilletSetup.exe" "$DEMO_DIR"
cp src/resources/skin/105.png "$DEMO_DIR/package/demo_skin.png"

# --- 2. author and stage (on a port that is free right now; nginx may lose it in between,
#        so a failed start tries another) ----------------------------------------------
free_port() { "$PYTHON" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
# Waits until the nginx started as process $1 listens on 127.0.0.1:$2; fails if it ends first.
nginx_listens() {
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || return 1
    if (exec 3<>"/dev/tcp/127.0.0.1/$2") 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  return 1
}
NGINX_PID=""
TRACKER_PID=""
PROGRAM_PID=""
FIRST_PID=""
THIN_PID=""
cleanup() {
  local pid
  for pid in "$TRACKER_PID" "$PROGRAM_PID" "$FIRST_PID" "$THIN_PID"; do
    if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  if [[ -n "${WINE_STARTED:-}" && "${VEXA_DEMO_HEADLESS:-0}" != 1 ]]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  if [[ -n "$NGINX_PID" ]]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi
  vexa_stop_xvfb
}
trap cleanup EXIT

nginx_globals="daemon off;"
[[ $(id -u) == 0 ]] && nginx_globals+=" user root;"  # workers must read the build folder
for attempt in 1 2 3 4 5; do
  PORT="$(free_port)"
  TRACKER_PORT="$(free_port)"
  BASE="http://127.0.0.1:$PORT"
  "$PUBLISH" author --out "$DEMO_DIR/document.html" --base-url "$BASE/games/demo" \
    --game-name "演示游戏 VexaYoral Demo" --game-version "1.0 演示版" --new-version 1.1.0.1011 \
    --game-start demo_setup.exe --seed "$BASE/seed" --skin-link "$BASE/skin/demo_skin.png" \
    --companion-link "$BASE/quillet/QuilletSetup.exe" --embed-link "$BASE/page/index.html" \
    --install-tip "同时安装 Quillet 安全卫士" --promotion-title "新手礼包 限时领取" \
    --promotion-link "$BASE/page/gift.html" --cancel-tips "确定不安装 Quillet 吗？" \
    "$DEMO_DIR/package/demo_part1.bin" "$DEMO_DIR/package/demo_part2.bin" \
    "$DEMO_DIR/package/demo_setup.exe" >"$DEMO_DIR/author.txt"
  "$PUBLISH" stage --root "$DEMO_DIR/www" --conf "$DEMO_DIR/nginx" --listen "127.0.0.1:$PORT" \
    --tracker "http://127.0.0.1:$TRACKER_PORT/announce" --package "$DEMO_ID=$DEMO_DIR/document.html" "$DEMO_DIR"/package/* >"$DEMO_DIR/stage.txt"
  timeout "${VEXA_DEMO_LIFETIME:-1800}" nginx -p "$DEMO_DIR/nginx" -c "$DEMO_DIR/nginx/nginx.conf" \
    -g "$nginx_globals" >"$DEMO_DIR/nginx/nginx.out" 2>&1 </dev/null &
  NGINX_PID=$!
  nginx_listens "$NGINX_PID" "$PORT" && break
  kill "$NGINX_PID" 2>/dev/null || true
  wait "$NGINX_PID" 2>/dev/null || true
  NGINX_PID=""
done
[[ -n "$NGINX_PID" ]] || { say "nginx did not start: $(cat "$DEMO_DIR/nginx/nginx.out")"; exit 1; }
say "package $DEMO_ID served by nginx at $BASE (configuration: $DEMO_DIR/nginx/vexa-site.conf)"
timeout "${VEXA_DEMO_LIFETIME:-1800}" opentracker -f "$DEMO_DIR/nginx/opentracker.conf" \
  >"$DEMO_DIR/nginx/opentracker.out" 2>&1 </dev/null &
TRACKER_PID=$!
say "tracker at http://127.0.0.1:$TRACKER_PORT/announce (configuration: $DEMO_DIR/nginx/opentracker.conf)"
cat "$DEMO_DIR/author.txt"

# --- 3. the publisher's check ----------------------------------------------------------------
say "vexa_publish check --server 127.0.0.1:$PORT $DEMO_ID"
"$PUBLISH" check --server "127.0.0.1:$PORT" "$DEMO_ID" | tee "$DEMO_DIR/check.txt"

# --- 4. the stamped copy, and its crash-dump uploader beside it with the same stamp -------
for pair in VexaYoral.exe:VexaYoralDemo.exe Plorex.exe:Plorex.exe; do
  "$HOST_TOOLS/vexa_stamp" --in "$VEXA_BUILD_DIR/win/src/app/${pair%%:*}" \
    --out "$DEMO_DIR/${pair##*:}" --id "$DEMO_ID" \
    --config-server "127.0.0.1:$PORT" --stats-server "127.0.0.1:$PORT"
done
say "stamped $DEMO_DIR/VexaYoralDemo.exe for package $DEMO_ID"

headless=1
if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  [[ "${VEXA_DEMO_HEADLESS:-0}" == 1 ]] || headless=0
else
  vexa_start_xvfb 80
fi
vexa_warm_wine
WINE_STARTED=1
unset http_proxy HTTP_PROXY all_proxy ALL_PROXY  # Wine would send the requests elsewhere

# --- 5. drive it -------------------------------------------------------------------------
ACCESS_LOG="$DEMO_DIR/nginx/access.log"
STATS_LOG="$DEMO_DIR/nginx/stats.log"
# Only what the program asks counts as a stage, not what the check asked before it.
ACCESS_FROM=$(($(stat -c %s "$ACCESS_LOG" 2>/dev/null || echo 0) + 1))

# Test builds of the program write their steps into this file (release builds ignore it).
TRACE="$DEMO_DIR/program.trace"
rm -f "$TRACE"
VEXA_TRACE_LOG="Z:${TRACE//\//\\}" wine "$DEMO_DIR/VexaYoralDemo.exe" >/dev/null 2>&1 </dev/null &
PROGRAM_PID=$!
DOWNLOAD_DIR=""

SHOTS=()
shot() {
  local file="$DEMO_DIR/shots/$1.png"
  if import -window root "$file" 2>/dev/null; then SHOTS+=("$file"); say "stage $1: $file"; fi
}
# Waits up to $1 seconds for a line matching $3 in the log file $2 from byte $4 on.
wait_for_log() {
  local deadline=$((SECONDS + $1))
  while ((SECONDS < deadline)); do
    if [[ -f "$2" ]] && tail -c "+${4:-1}" "$2" | grep -q -- "$3"; then return 0; fi
    kill -0 "$PROGRAM_PID" 2>/dev/null || return 1
    sleep 0.5
  done
  return 1
}
# Waits up to $1 seconds for a visible window of at least $2 x $3 pixels (and less than $4
# wide, default 1280); prints its id.
wait_for_window() {
  local deadline=$((SECONDS + $1)) id geometry
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
      geometry="$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
      eval "$geometry"
      if ((WIDTH >= $2 && HEIGHT >= $3 && WIDTH < ${4:-1280})); then echo "$id"; return 0; fi
    done
    sleep 0.5
  done
  return 1
}

# The folder the download went to, as a path on this machine: the trace names it; without
# a trace, the default folder on the program's first drive.
download_dir() {
  local line
  line="$(grep -a -m1 '^path ' "$TRACE" 2>/dev/null | tr -d '\r' | cut -c6-)" || true
  if [[ -z "$line" ]]; then echo "$WINEPREFIX/drive_c/Vexadownloads"; return; fi
  local rest
  rest="$(echo "${line:3}" | tr '\\' /)"
  case "${line:0:1}" in
    [Zz]) echo "/${rest%/}" ;;
    *) echo "$WINEPREFIX/drive_$(echo "${line:0:1}" | tr 'A-Z' 'a-z')/${rest%/}" ;;
  esac
}
# Waits up to $1 seconds until the window $2 lies centred over the area $3 $4 $5 $6 (x, y,
# width, height), give or take a pixel of rounding: a prompt shows at the place it is made
# and is centred over its owner a moment later, and a click in between misses it.
wait_for_centred() {
  local deadline=$((SECONDS + $1)) X=0 Y=0 WIDTH=0 HEIGHT=0 SCREEN WINDOW dx dy
  while ((SECONDS < deadline)); do
    if eval "$(xdotool getwindowgeometry --shell "$2" 2>/dev/null)"; then
      dx=$((X - ($3 + ($5 - WIDTH) / 2)))
      dy=$((Y - ($4 + ($6 - HEIGHT) / 2)))
      if ((dx * dx <= 4 && dy * dy <= 4)); then return 0; fi
    fi
    sleep 0.2
  done
  return 1
}
# Waits up to $1 seconds for the file $2.
# wait_for_file SECONDS FILE [any]: gives up early when the program has ended, unless "any"
# (a file written by a process the program started, which may outlive it).
wait_for_file() {
  local deadline=$((SECONDS + $1))
  while ((SECONDS < deadline)); do
    [[ -e "$2" ]] && return 0
    [[ "${3:-}" == any ]] || kill -0 "$PROGRAM_PID" 2>/dev/null || return 1
    sleep 0.5
  done
  return 1
}

# click_until_gone WINDOW X Y: clicks at X,Y until WINDOW has closed (a click given while a
# busy machine still sets the window up can be lost); fails after a minute.
click_until_gone() {
  local deadline=$((SECONDS + 60))
  while ((SECONDS < deadline)); do
    xdotool mousemove "$2" "$3" click 1
    local until=$((SECONDS + 5))
    while ((SECONDS < until)); do
      xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
      sleep 0.2
    done
  done
  return 1
}

drive() {
  if ! wait_for_window 120 300 150 >/dev/null; then say "no window of the program appeared"; return; fi
  shot 01-started
  if ! wait_for_log "$STAGE_SECONDS" "$ACCESS_LOG" "/publish/tool/muldown/" "$ACCESS_FROM"; then
    say "the program did not fetch its configuration; the drive ends here"
    return
  fi
  shot 02-configuration-fetched
  local window
  if ! window="$(wait_for_window "$STAGE_SECONDS" 670 410)"; then
    say "no download window appeared; the drive ends here"
    return
  fi
  shot 03-download-window
  DOWNLOAD_DIR="$(download_dir)"
  say "the download goes to $DOWNLOAD_DIR"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  local owner=("$X" "$Y" "$WIDTH" "$HEIGHT")
  xdotool mousemove $((X + 587)) $((Y + 339)) click 1  # the download button
  if wait_for_log "$STAGE_SECONDS" "$STATS_LOG" "statLogMuldownUrl"; then
    shot 04-downloading
  else
    say "the download did not start; the drive ends here"
    return
  fi
  # Once the last file is verified, the install prompt ("立即安装" / "取消") opens over the
  # download window.
  local prompt
  if ! prompt="$(wait_for_window 300 400 195 410)" ||
     ! wait_for_centred 60 "$prompt" "${owner[@]}" ||
     ! eval "$(xdotool getwindowgeometry --shell "$prompt")"; then
    say "the package was not verified in time: no install prompt over the download window"
    return
  fi
  shot 05-verified-install-prompt
  local ran="$DOWNLOAD_DIR/demo_setup.exe.ran"
  if ! click_until_gone "$prompt" $((X + 262)) $((Y + 172)); then  # "立即安装"
    shot 06-install-prompt-stayed
    say "the install prompt stayed open through a minute of clicks on 立即安装"
    return
  fi
  if ! wait_for_file 30 "$ran" any; then
    # What a user does when nothing seems to happen: the download window's button, in its
    # install mode once the package is verified, starts the installer again.
    shot 06-no-installer-yet
    say "no installer 30 s after 立即安装; clicking the download window's install button"
    xdotool mousemove $((owner[0] + 587)) $((owner[1] + 339)) click 1
  fi
  if wait_for_file 60 "$ran" any; then
    shot 06-installer-started
    say "the installer ran: $DOWNLOAD_DIR/demo_setup.exe"
  else
    shot 06-no-installer
    say "the installer did not start"
  fi
}

if ((headless)); then
  drive
else
  say "the program runs in a window on $DISPLAY; close it to end the demo"
  wait "$PROGRAM_PID" || true
fi
kill "$PROGRAM_PID" 2>/dev/null || true
wait "$PROGRAM_PID" 2>/dev/null || true
PROGRAM_PID=""

# --- 6. what the program reported --------------------------------------------------------------
say "vexa_publish stats $STATS_LOG"
touch "$STATS_LOG"
"$PUBLISH" stats "$STATS_LOG"
say "screenshots:"
for file in "${SHOTS[@]}"; do echo "  $file"; done

# --- 7. two copies sharing through the swarm ------------------------------------------------
# Under Wine the loopback adapter shows only 127.0.0.1, and the swarm listens only on
# addresses an adapter shows: both copies use it, each on a port of its own. Local discovery
# stays off here, it would announce beyond loopback.
#
# On loopback nginx outruns any peer, so the second copy downloads from an origin behind a
# thin line: a second nginx serving the same file at 64 KiB/s a request, four requests at
# once (nginx lets a request's first second through at once, so only a low rate slows the
# short ranges an engine asks for). Its torrent is the staged one with this server as the
# only web seed: the same pieces, so the same swarm and tracker entry; the staged one names
# the main server, which would carry the file at full speed.
P2SP_GET="$VEXA_BUILD_DIR/win/tools/p2sp-get/p2sp-get.exe"
ENGINE_DLL="$VEXA_BUILD_DIR/win/src/engine/VexaP2SP.dll"
THIN_DIR="$DEMO_DIR/thin"
# Writes the torrent $1 to $2 with $3 as its only web seed; the info part, which names the
# swarm, stays byte for byte.
reseed_torrent() {
  "$PYTHON" - "$@" <<'PY'
import sys

def end(b, i):
    """Where the bencoded value that starts at i ends."""
    kind = b[i:i + 1]
    if kind == b"i":
        return b.index(b"e", i) + 1
    if kind in (b"l", b"d"):
        i += 1
        while b[i:i + 1] != b"e":
            i = end(b, i)
        return i + 1
    colon = b.index(b":", i)
    return colon + 1 + int(b[i:colon])

data, url = open(sys.argv[1], "rb").read(), sys.argv[3].encode()
out, i = [b"d"], 1
while data[i:i + 1] != b"e":
    value = end(data, i)
    after = end(data, value)
    if data[i:value] == b"8:url-list":
        out.append(b"8:url-listl%d:%se" % (len(url), url))
    else:
        out.append(data[i:after])
    i = after
open(sys.argv[2], "wb").write(b"".join(out + [b"e"]))
PY
}
start_thin_origin() {
  mkdir -p "$THIN_DIR/www/games/demo" "$THIN_DIR/temp"
  local file="$DEMO_DIR/www/games/demo/demo_part2.bin" attempt
  ln -f "$file" "$THIN_DIR/www/games/demo/" 2>/dev/null || cp "$file" "$THIN_DIR/www/games/demo/"
  for attempt in 1 2 3 4 5; do
    THIN_PORT="$(free_port)"
    THIN_BASE="http://127.0.0.1:$THIN_PORT"
    reseed_torrent "$file.torrent" "$THIN_DIR/www/games/demo/demo_part2.bin.torrent" \
      "$THIN_BASE/games/demo/demo_part2.bin"
    cat >"$THIN_DIR/nginx.conf" <<CONF
# The demo's thin origin for the sharing step: nginx -p $THIN_DIR -c nginx.conf
worker_processes 1;
pid $THIN_DIR/nginx.pid;
error_log $THIN_DIR/error.log;
events { worker_connections 64; }
http {
    default_type application/octet-stream;
    client_body_temp_path $THIN_DIR/temp/client_body;
    proxy_temp_path $THIN_DIR/temp/proxy;
    fastcgi_temp_path $THIN_DIR/temp/fastcgi;
    uwsgi_temp_path $THIN_DIR/temp/uwsgi;
    scgi_temp_path $THIN_DIR/temp/scgi;
    limit_conn_zone \$server_port zone=thin:1m;
    server {
        listen 127.0.0.1:$THIN_PORT;
        root $THIN_DIR/www;
        access_log $THIN_DIR/access.log;
        max_ranges 1;
        limit_rate 64k;
        limit_conn thin 4;
    }
}
CONF
    timeout "${VEXA_DEMO_LIFETIME:-1800}" nginx -p "$THIN_DIR" -c "$THIN_DIR/nginx.conf" \
      -g "$nginx_globals" >"$THIN_DIR/nginx.out" 2>&1 </dev/null &
    THIN_PID=$!
    nginx_listens "$THIN_PID" "$THIN_PORT" && return 0
    kill "$THIN_PID" 2>/dev/null || true
    wait "$THIN_PID" 2>/dev/null || true
    THIN_PID=""
  done
  return 1
}
# share N LINK [p2sp-get's options]: copy N downloads LINK into a folder of its own. The
# copy takes the place of the shell it runs in (exec): started in the background, its
# process number is the copy's own.
share() {
  local dir="$DEMO_DIR/copy-$1" link="$2"
  shift 2
  mkdir -p "$dir"
  exec wine "$P2SP_GET" --engine "$(winepath -w "$ENGINE_DLL")" --interval 1000 \
    --tune "lsd=0;utp=0;listen_ip=127.0.0.1" "$@" "$link" \
    "$(winepath -w "$dir")\\demo_part2.bin" </dev/null
}
if [[ -f "$P2SP_GET" ]] && ! start_thin_origin; then
  say "the thin origin did not start: $(cat "$THIN_DIR/nginx.out")"
elif [[ -f "$P2SP_GET" ]]; then
  say "two copies share demo_part2.bin: the first downloads it from $BASE and stays to serve it"
  share 1 "$BASE/games/demo/demo_part2.bin" --serve-for 1200 >"$DEMO_DIR/copy-1.txt" 2>&1 &
  FIRST_PID=$!
  for _ in $(seq 600); do grep -q '^serving' "$DEMO_DIR/copy-1.txt" 2>/dev/null && break; sleep 0.2; done
  # The first copy's "final" line comes only when it stops serving; its first "serving"
  # line says it has the whole file. (|| true: a line missing is shown as missing, and under
  # pipefail it must not end the demo.)
  { grep -m1 '^serving' "$DEMO_DIR/copy-1.txt" || echo "not serving yet"; } |
    sed 's/^/  first copy:  /'
  say "the second copy downloads it from the thin origin at $THIN_BASE"
  (share 2 "$THIN_BASE/games/demo/demo_part2.bin") >"$DEMO_DIR/copy-2.txt" 2>&1 || true
  { grep '^progress' "$DEMO_DIR/copy-2.txt" || true; } | tail -3 | sed 's/^/  second copy: /'
  { grep '^final' "$DEMO_DIR/copy-2.txt" || echo "no final line"; } | sed 's/^/  second copy: /'
  "$PYTHON" - "$DEMO_DIR/copy-2.txt" <<'PY'
import sys
lines = open(sys.argv[1]).read().splitlines()
def fields(line):
    return dict(p.split("=", 1) for p in line.split()[1:] if "=" in p)
final = [fields(l) for l in lines if l.startswith("final")]
total = int(final[0].get("total", 0)) if final else 0
peers = int(final[0].get("peer_bytes", 0)) if final else 0
fastest = max([int(fields(l).get("peer_speed", 0)) for l in lines if l.startswith("progress")] + [0])
if total:
    print("[demo] the second copy took %d of %d bytes (%.0f %%) from the first copy, at up to "
          "%d KiB/s" % (peers, total, 100.0 * peers / total, fastest // 1024))
PY
  kill -KILL "$FIRST_PID" 2>/dev/null || true
  wait "$FIRST_PID" 2>/dev/null || true
  FIRST_PID=""
fi
# A headless run leaves nothing of the package behind on this machine.
if ((headless)) && [[ -n "$DOWNLOAD_DIR" && -d "$DOWNLOAD_DIR" ]]; then
  for name in demo_part1.bin demo_part2.bin demo_setup.exe; do
    rm -f "$DOWNLOAD_DIR/$name" "$DOWNLOAD_DIR/$name".*
  done
fi

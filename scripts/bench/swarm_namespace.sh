#!/usr/bin/env bash
# A swarm of engine front ends, each a Windows process under Wine in a network namespace of
# its own, sharing one package behind an origin whose link is capped in total. Everything
# lives in namespaces this script makes (root needed): a hub namespace holds the bridge, so
# the machine's own network is never touched; every node hangs off it by a veth pair.
#
#   origin  10.213.0.2   nginx (the staged package) and the publisher's tracker (opentracker);
#                         its link's egress shaped by tc tbf to RATE MiB/s (nginx's limit_rate
#                         is per request, so only the link can cap the origin as a whole)
#   clients 10.213.0.11+  p2sp-get.exe under Wine, one wine server and prefix per namespace
#                         (the wine server owns a Windows process's sockets, so it must be
#                         started inside the namespace whose network the process should see)
#   liar    10.213.0.9    a host libtorrent peer serving the file with one byte of every
#                         piece flipped (tests/engine/swarm_peer.py --lie)
#   LAN     10.213.0.31/32 two clients, a torrent without tracker: local discovery only
#
# Cases (each prints its figures; none is a pass/fail test):
#   swarm  a lone client alone first, then CLIENTS clients started together: origin bytes as a
#          multiple of the package (nginx's access log, tc's count beside it), each client's
#          time, slowest/lone, MD5 and SHA-256 of every copy against the source
#   http   the same clients with the swarm off (swarm=0): the origin serves every copy
#   liar   the swarm again with the lying peer: failed pieces and banned peers per client
#   lan    a pair without tracker: the first downloads and stays, then the second; the share
#          of the second's bytes that came from its peer
#   kill   KILL_RUNS swarm downloads of KILL_CLIENTS clients where one, at random, is killed
#          (-9) at a random point and started again: every copy right, and bytes fetched
#          after the resume against what the resumed file was missing (a package of its own,
#          64 MiB by default: the question is what a resume fetches again, not scale)
# Every case also prints how busy the machine's processors were: eight Wine processes and
# their wine servers can fill two cores, and then the times measure the machine.
#
# Tuning every client gets, and why:
#   listen_ip=<own address>  the swarm listens and announces on the address the namespace's
#                            adapter shows, so the tracker and the peers see one address each
#   utp=0                    the origin's capped link is one FIFO queue (this tc has no fq):
#                            uTP's delay-based congestion control would back off against the
#                            HTTP side's TCP in that queue, and its per-packet work is costly
#                            under Wine on a small machine; TCP keeps the figures about sharing
#   lsd=0                    (tracker cases) peers come from the tracker alone, as over the
#                            internet; the LAN case turns it on and has no tracker
# 10.213.0.0/24 is a private network, which libtorrent counts as local: the engine's upload
# cap for internet peers does not apply between these clients (--wan uses 198.18.0.0/24, the
# benchmarking range, where it does). Clients keep serving once complete until the case ends,
# as a copy does while its window stays.
#
#   sudo scripts/bench/swarm_namespace.sh [--size-mib 256] [--clients 8] [--rate-mib 8]
#        [--cases swarm,http,liar,lan,kill] [--kill-runs 20] [--kill-size-mib 64]
#        [--kill-clients 3] [--tune TEXT (added to every client's)] [--wan]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
cd "$VEXA_ROOT"

SIZE_MIB=256 CLIENTS=8 RATE_MIB=8 CASES=swarm,http,liar,lan,kill
KILL_RUNS=20 KILL_SIZE_MIB=64 KILL_CLIENTS=3 EXTRA_TUNE="" NET=10.213.0
while (($#)); do
  case "$1" in
    --size-mib) SIZE_MIB="$2"; shift 2 ;;
    --clients) CLIENTS="$2"; shift 2 ;;
    --rate-mib) RATE_MIB="$2"; shift 2 ;;
    --cases) CASES="$2"; shift 2 ;;
    --kill-runs) KILL_RUNS="$2"; shift 2 ;;
    --kill-size-mib) KILL_SIZE_MIB="$2"; shift 2 ;;
    --kill-clients) KILL_CLIENTS="$2"; shift 2 ;;
    --tune) EXTRA_TUNE="$2"; shift 2 ;;
    --wan) NET=198.18.0; shift ;;
    *) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
[[ $(id -u) == 0 ]] || { echo "needs root (network namespaces, tc)" >&2; exit 2; }
((CLIENTS >= 1 && CLIENTS <= 60 && KILL_CLIENTS >= 1 && KILL_CLIENTS <= CLIENTS)) ||
  { echo "--clients 1..60, --kill-clients 1..clients" >&2; exit 2; }
EXE="$VEXA_BUILD_DIR/win/tools/p2sp-get/p2sp-get.exe"
DLL="$VEXA_BUILD_DIR/win/src/engine/VexaP2SP.dll"
PUBLISH="$VEXA_BUILD_DIR/host/tools/vexa_publish"
for f in "$EXE" "$DLL" "$PUBLISH" "$VEXA_WINEPREFIX/system.reg"; do
  [[ -f "$f" ]] || { echo "missing $f: build first (scripts/build.sh, scripts/test.sh)" >&2; exit 2; }
done
HERE="$VEXA_ROOT/scripts/bench"
# The driver runs in the background and is waited for: a signal to this script then ends a
# case at once instead of after it.
driver() {
  /usr/bin/python3 "$HERE/swarm_namespace.py" "$@" &
  PIDS+=($!)
  wait $!
}
unset http_proxy HTTP_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

WORK="$(mktemp -d /tmp/vexa-swarm-ns-XXXXXX)"
chmod 755 "$WORK"  # opentracker reads its whitelist as an unprivileged user
TAG="vxs$$"
HUB="$TAG-hub"
NAMESPACES=()
PIDS=()
PREFIXES=()
cleanup() {
  local ns pid prefix
  set +e
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  # Whatever still runs in our namespaces was started by this script (Wine's own services).
  for ns in "${NAMESPACES[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
  done
  for prefix in "${PREFIXES[@]}"; do WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  for ns in "${NAMESPACES[@]}"; do ip netns del "$ns" 2>/dev/null; done
  [[ -n "${KEEP_WORK:-}" ]] || rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

say() { echo "[swarm] $*"; }

# --- the network -----------------------------------------------------------------------------
ip netns add "$HUB"
NAMESPACES+=("$HUB")
ip -n "$HUB" link set lo up
ip -n "$HUB" link add br0 type bridge mcast_snooping 0
ip -n "$HUB" link set br0 up
# node NAME LAST_OCTET: a namespace on the bridge with address $NET.LAST_OCTET.
node() {
  local ns="$TAG-$1"
  ip netns add "$ns"
  NAMESPACES+=("$ns")
  ip -n "$HUB" link add "p$2" type veth peer name eth0 netns "$ns"
  ip -n "$HUB" link set "p$2" master br0 up
  ip -n "$ns" link set lo up
  ip -n "$ns" addr add "$NET.$2/24" dev eth0
  ip -n "$ns" link set eth0 up
  ip -n "$ns" route add default dev eth0  # local discovery's multicast leaves by it
}
ORIGIN_IP="$NET.2"
node origin 2
tc -n "$TAG-origin" qdisc add dev eth0 root tbf rate "$((RATE_MIB * 8))mibit" burst 256kb latency 100ms

# --- Wine: a prefix and a running wine server per client namespace ----------------------------
# Hard links of the built prefix (instant, no space); the registry files are the ones Wine
# rewrites in place, so those are real copies.
wine_node() {  # wine_node NAME LAST_OCTET
  local prefix="$WORK/wine-$1"
  node "$1" "$2"
  cp -al "$VEXA_WINEPREFIX" "$prefix"
  for f in "$VEXA_WINEPREFIX"/*.reg "$VEXA_WINEPREFIX"/.update-timestamp; do
    if [[ -f "$f" ]]; then cp --remove-destination "$f" "$prefix/"; fi
  done
  PREFIXES+=("$prefix")
  ip netns exec "$TAG-$1" env WINEPREFIX="$prefix" wineserver -f -p </dev/null >/dev/null 2>&1 &
  PIDS+=($!)
  echo "$TAG-$1:$prefix:$NET.$2:$!" >>"$WORK/nodes.txt"
}
say "namespaces, prefixes and wine servers for $CLIENTS clients and the LAN pair"
for ((i = 1; i <= CLIENTS; i++)); do wine_node "c$i" $((10 + i)); done
wine_node lan1 31
wine_node lan2 32
node liar 9
# Each wine server must be the namespace's own before a client starts in it; a warm-up
# program then makes the first client start as quickly as the others.
while IFS=: read -r ns prefix _ pid; do
  [[ "$(ip netns identify "$pid")" == "$ns" ]] || { echo "wine server $pid not in $ns" >&2; exit 1; }
  ip netns exec "$ns" env WINEPREFIX="$prefix" wine cmd /c exit </dev/null >/dev/null 2>&1 || true
done <"$WORK/nodes.txt"
clients_of() {  # clients_of FIRST LAST: the driver's --client options for those nodes
  local spec
  CLIENT_ARGS=()
  while IFS= read -r spec; do CLIENT_ARGS+=(--client "$spec"); done \
    < <(sed -n "$1,$2p" "$WORK/nodes.txt" | cut -d: -f1-3)
}

# --- the package, staged by the publisher's kit -----------------------------------------------
ID="{5A1C0E6B-3F1D-4C1B-9E55-0B7E51A2D001}"
publish_package() {  # publish_package NAME SIZE_MIB PORT TRACKER: stages NAME into $WORK/site-NAME
  local site="$WORK/site-$1"
  mkdir -p "$site"
  head -c $(($2 * 1048576)) /dev/urandom >"$site/$1"
  "$PUBLISH" author --out "$site/doc.html" --base-url "http://$ORIGIN_IP:$3/g" \
    --game-name "swarm bench" --new-version 1.1.0.1011 "$site/$1" >/dev/null
  "$PUBLISH" stage --root "$site/www" --conf "$site/conf" --dumps "$site/dumps" \
    --listen "$ORIGIN_IP:$3" --tracker "$4" --package "$ID=$site/doc.html" "$site/$1" >"$site/stage.txt"
  ip netns exec "$TAG-origin" nginx -p "$site/conf" -c "$site/conf/nginx.conf" \
    -g "daemon off; user root;" </dev/null >"$site/nginx.out" 2>&1 &
  PIDS+=($!)
  for _ in $(seq 100); do
    ip netns exec "$TAG-origin" curl -sf -o /dev/null "http://$ORIGIN_IP:$3/g/$1.torrent" && return 0
    sleep 0.1
  done
  echo "nginx did not serve $1: $(cat "$site/nginx.out")" >&2
  exit 1
}
TRACKER="http://$ORIGIN_IP:6969/announce"
say "package of $SIZE_MIB MiB (and $KILL_SIZE_MIB MiB for the kill runs), staged with torrents"
publish_package swarm.bin "$SIZE_MIB" 80 "$TRACKER"
publish_package kill.bin "$KILL_SIZE_MIB" 81 "$TRACKER"
publish_package lan.bin "$SIZE_MIB" 82 none
# One tracker for the two tracked packages: the whitelists of both stages.
cat "$WORK/site-swarm.bin/conf/opentracker-whitelist.txt" "$WORK/site-kill.bin/conf/opentracker-whitelist.txt" \
  >"$WORK/whitelist.txt"
printf 'listen.tcp_udp %s:6969\naccess.whitelist %s\n' "$ORIGIN_IP" "$WORK/whitelist.txt" >"$WORK/opentracker.conf"
ip netns exec "$TAG-origin" opentracker -f "$WORK/opentracker.conf" </dev/null >"$WORK/opentracker.out" 2>&1 &
PIDS+=($!)
# It reads the whitelist on a thread of its own after it listens: asked (start, then stop)
# until it answers for the package.
hash="$(head -1 "$WORK/whitelist.txt" | sed 's/../%&/g')"
query="$TRACKER?info_hash=$hash&peer_id=vexa-swarm-bench-001&port=1&uploaded=0&downloaded=0&left=0&compact=1"
for attempt in $(seq 100); do
  if ip netns exec "$TAG-origin" curl -sf -o "$WORK/announce.out" "$query" &&
    ! grep -qa 'failure reason' "$WORK/announce.out"; then
    ip netns exec "$TAG-origin" curl -sf -o /dev/null "$query&event=stopped" || true
    break
  fi
  ((attempt < 100)) || { echo "opentracker did not serve the package" >&2; exit 1; }
  sleep 0.1
done

# --- the cases -------------------------------------------------------------------------------
has_case() { [[ ",$CASES," == *",$1,"* ]]; }
BASE_TUNE="utp=0${EXTRA_TUNE:+;$EXTRA_TUNE}"
common=(--exe "$EXE" --dll "$DLL" --work "$WORK" --origin-ns "$TAG-origin")
swarm_site=(--url "http://$ORIGIN_IP/g/swarm.bin" --source "$WORK/site-swarm.bin/swarm.bin"
            --access-log "$WORK/site-swarm.bin/conf/access.log"
            --torrent "$WORK/site-swarm.bin/www/g/swarm.bin.torrent")
echo "package $SIZE_MIB MiB, origin capped at $RATE_MIB MiB/s in total, $CLIENTS clients," \
  "network $NET.0/24, tuning $BASE_TUNE;lsd=0;listen_ip=<own>"
if has_case swarm; then
  clients_of 1 1
  driver lone "${common[@]}" "${swarm_site[@]}" --tune "$BASE_TUNE;lsd=0" "${CLIENT_ARGS[@]}"
  clients_of 1 "$CLIENTS"
  driver together --label "swarm of $CLIENTS" "${common[@]}" "${swarm_site[@]}" \
    --tune "$BASE_TUNE;lsd=0" "${CLIENT_ARGS[@]}"
fi
if has_case http; then
  clients_of 1 "$CLIENTS"
  driver together --label "HTTP only (swarm=0), $CLIENTS clients" "${common[@]}" \
    "${swarm_site[@]}" --tune "$BASE_TUNE;swarm=0" "${CLIENT_ARGS[@]}"
fi
if has_case liar; then
  torrent="$WORK/site-swarm.bin/www/g/swarm.bin.torrent"
  mkdir -p "$WORK/liar"
  driver damage "$WORK/site-swarm.bin/swarm.bin" "$torrent" "$WORK/liar/swarm.bin"
  mkfifo "$WORK/liar.in"
  ip netns exec "$TAG-liar" /usr/bin/python3 tests/engine/swarm_peer.py seed "$torrent" "$WORK/liar" \
    --ip "$NET.9" --lie <"$WORK/liar.in" >"$WORK/liar.out" 2>&1 &
  PIDS+=($!)
  exec 7>"$WORK/liar.in"  # the peer serves until this closes
  for _ in $(seq 600); do grep -q '^seeding' "$WORK/liar.out" && break; sleep 0.1; done
  grep -q '^seeding' "$WORK/liar.out" || { echo "the lying peer never served: $(tail -3 "$WORK/liar.out")" >&2; exit 1; }
  clients_of 1 "$CLIENTS"
  driver together --label "swarm of $CLIENTS with a lying peer" "${common[@]}" \
    "${swarm_site[@]}" --tune "$BASE_TUNE;lsd=0" --liar-out "$WORK/liar.out" "${CLIENT_ARGS[@]}"
  exec 7>&-
fi
if has_case lan; then
  # The pair's own package has no tracker and a port of its own on the origin.
  clients_of $((CLIENTS + 1)) $((CLIENTS + 2))
  driver pair "${common[@]}" --url "http://$ORIGIN_IP:82/g/lan.bin" \
    --source "$WORK/site-lan.bin/lan.bin" --access-log "$WORK/site-lan.bin/conf/access.log" \
    --tune "$BASE_TUNE;lsd=1" "${CLIENT_ARGS[@]}"
fi
if has_case kill; then
  clients_of 1 "$KILL_CLIENTS"
  driver kill --runs "$KILL_RUNS" "${common[@]}" --url "http://$ORIGIN_IP:81/g/kill.bin" \
    --source "$WORK/site-kill.bin/kill.bin" --access-log "$WORK/site-kill.bin/conf/access.log" \
    --torrent "$WORK/site-kill.bin/www/g/kill.bin.torrent" \
    --tune "$BASE_TUNE;lsd=0" "${CLIENT_ARGS[@]}"
fi

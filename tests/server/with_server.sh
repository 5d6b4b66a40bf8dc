#!/usr/bin/env bash
# Runs a command beside a fresh local test server (vexa_test_server.py) and passes it on:
#   VEXA_TEST_SERVER_PORT      the server's port on 127.0.0.1
#   VEXA_TEST_SERVER_ROOT      its content folder (Unix path; Z: + the path under Wine)
#
#   with_server.sh [--offline] -- command [args...]
#
# The server and the command always run in a private network namespace, so what the
# program under test sees of the network does not depend on the machine:
# - by default (online) loopback is up and so is a veth pair with a default route; the
#   system then reports a LAN connection. Its addresses (10.99.0.1/24, gateway 10.99.0.2)
#   carry no traffic and lead nowhere outside the namespace: the tests talk to 127.0.0.1 only;
# - with --offline only loopback is up: the system reports itself offline while 127.0.0.1
#   still works.
# Wine asks its own device service for the adapters, so inside the namespace the command
# gets a Wine prefix and wine server of its own (created on first use beside the build's
# prefix) rather than the shared, warmed one that lives outside. One namespace at a time
# uses that prefix (ctest knows through a resource lock; a file lock guards other callers).
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
PYTHON="${PYTHON:-$(command -v python3)}"
export PATH="$PATH:/usr/sbin:/sbin"  # ip
# Wine's WinInet takes a proxy from these, which would send the tests' requests elsewhere.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY ftp_proxy FTP_PROXY all_proxy ALL_PROXY \
  no_proxy NO_PROXY

offline=0
while [[ $# -gt 0 && "$1" != "--" ]]; do
  case "$1" in
    --offline) offline=1 ;;
    --in-netns) in_netns=1 ;;
    *) echo "with_server.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[[ "${1:-}" == "--" ]] && shift
[[ $# -gt 0 ]] || { echo "usage: with_server.sh [--offline] -- command..." >&2; exit 2; }

if [[ "${in_netns:-0}" != 1 ]]; then
  if [[ -n "${WINEPREFIX:-}" ]]; then
    netns_prefix="${WINEPREFIX%/}-netns"
    mkdir -p "$netns_prefix"
    export WINEPREFIX="$netns_prefix"
  fi
  # The adapters are set up by the command that unshare starts, so they can only ever be
  # made inside the new namespace, never on the machine's own network.
  setup='ip link set lo up'
  mode=()
  if [[ $offline == 1 ]]; then
    mode=(--offline)
  else
    setup+=' && ip link add vexa0 type veth peer name vexa1'
    setup+=' && ip link set vexa1 up && ip link set vexa0 up'
    setup+=' && ip addr add 10.99.0.1/24 dev vexa0'
    setup+=' && ip route add default via 10.99.0.2 dev vexa0'
  fi
  unshare -n true 2>/dev/null || {
    echo "with_server.sh: cannot make a network namespace (unshare -n needs root)" >&2
    exit 1
  }
  fail="echo 'with_server.sh: cannot set up the network inside the namespace' >&2; exit 1"
  exec unshare -n bash -c "{ $setup; } || { $fail; }"'; exec "$0" "$@"' \
    bash "${BASH_SOURCE[0]}" --in-netns "${mode[@]}" -- "$@"
fi

if [[ -n "${WINEPREFIX:-}" ]]; then
  # Its wine server must be the one started in this namespace.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  # A server left by a run that was killed still answers from its own namespace: end it.
  wineserver -k >/dev/null 2>&1 </dev/null || true
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    wineboot -i >/dev/null 2>&1 </dev/null || true
  fi
  wineserver -p2 >/dev/null 2>&1 </dev/null || true
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/vexa-server.XXXXXX")"
mkdir -p "$work/root"
"$PYTHON" "$HERE/vexa_test_server.py" --root "$work/root" --port 0 \
  --port-file "$work/port" --idle-timeout "${VEXA_TEST_SERVER_IDLE:-600}" >/dev/null 2>&1 &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  if [[ -n "${WINEPREFIX:-}" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The port file appears (whole, by rename) once the server listens. On a busy machine
# Python's start-up alone can take seconds: the bound only stops a server that hangs.
deadline=$((SECONDS + 120))
until [[ -s "$work/port" ]]; do
  kill -0 "$server_pid" 2>/dev/null || { echo "test server did not start" >&2; exit 1; }
  ((SECONDS < deadline)) || { echo "test server gave no port in 120 s" >&2; exit 1; }
  sleep 0.05
done

export VEXA_TEST_SERVER_PORT="$(cat "$work/port")"
export VEXA_TEST_SERVER_ROOT="$work/root"
set +e
"$@" </dev/null
status=$?
set -e
exit $status

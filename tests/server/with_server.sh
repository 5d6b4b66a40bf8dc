#!/usr/bin/env bash
# Runs a command beside a fresh local test server (vexa_test_server.py) and passes it on:
#   VEXA_TEST_SERVER_PORT      the server's port on 127.0.0.1
#   VEXA_TEST_SERVER_ROOT      its content folder (Unix path; Z: + the path under Wine)
#
#   with_server.sh [--offline] -- command [args...]
#
# --offline runs the server and the command in a private network namespace with only the
# loopback adapter up: the system then reports itself offline while 127.0.0.1 still works.
# Wine asks its own device service for the adapters, so inside the namespace the command
# gets a Wine prefix and wine server of its own (created on first use beside the build's
# prefix) rather than the shared, warmed one that lives outside.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
PYTHON="${PYTHON:-/usr/bin/python3}"

offline=0
while [[ $# -gt 0 && "$1" != "--" ]]; do
  case "$1" in
    --offline) offline=1 ;;
    *) echo "with_server.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[[ "${1:-}" == "--" ]] && shift
[[ $# -gt 0 ]] || { echo "usage: with_server.sh [--offline] -- command..." >&2; exit 2; }

if [[ $offline == 1 && "${VEXA_IN_NETNS:-0}" != 1 ]]; then
  if [[ -n "${WINEPREFIX:-}" ]]; then
    netns_prefix="${WINEPREFIX%/}-netns"
    mkdir -p "$netns_prefix"
    export WINEPREFIX="$netns_prefix"
  fi
  exec unshare -n env VEXA_IN_NETNS=1 bash -c 'ip link set lo up && exec "$0" "$@"' \
    "${BASH_SOURCE[0]}" --offline -- "$@"
fi

if [[ $offline == 1 && -n "${WINEPREFIX:-}" ]]; then
  # One namespace at a time may use the namespace prefix: its wine server must be the one
  # started in this namespace.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    wineboot -i >/dev/null 2>&1 </dev/null || true
  fi
  wineserver -p2 >/dev/null 2>&1 </dev/null || true
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/vexa-server.XXXXXX")"
mkdir -p "$work/root"
"$PYTHON" "$HERE/vexa_test_server.py" --root "$work/root" --port 0 \
  --port-file "$work/port" --idle-timeout "${VEXA_TEST_SERVER_IDLE:-120}" >/dev/null 2>&1 &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  if [[ $offline == 1 && -n "${WINEPREFIX:-}" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

for _ in $(seq 100); do
  [[ -s "$work/port" ]] && break
  kill -0 "$server_pid" 2>/dev/null || { echo "test server did not start" >&2; exit 1; }
  sleep 0.05
done
[[ -s "$work/port" ]] || { echo "test server gave no port" >&2; exit 1; }

export VEXA_TEST_SERVER_PORT="$(cat "$work/port")"
export VEXA_TEST_SERVER_ROOT="$work/root"
set +e
"$@" </dev/null
status=$?
set -e
exit $status

#!/bin/sh
# Runs a command in the private network namespace that `unshare -n` made for it: loopback up,
# and a veth pair whose end v0 carries an address and a default route, so the system reports a
# network connection. The test takes v0 down and up to go offline and back; no traffic ever
# leaves the namespace (the 10.99.0.x addresses carry none, the test server is on loopback).
#
# Wine asks its own service processes about network adapters, so the command gets a copy of
# the Wine prefix: its wine server and services start here, inside the namespace.
set -e
ip link set lo up
ip link add v0 type veth peer name v1
ip link set v1 up
ip link set v0 up
ip addr add 10.99.0.1/24 dev v0
ip route add default via 10.99.0.2 dev v0

work=$(mktemp -d /tmp/vexa-netns-XXXXXX)
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX="$work/prefix"
status=0
"$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
rm -rf "$work"
exit $status

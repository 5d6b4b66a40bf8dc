#!/usr/bin/python3
"""Loopback relay that caps every connection at one rate, for the engine benchmark.

Usage: rate_relay.py LISTEN_PORT UPSTREAM_PORT BYTES_PER_SECOND [LIFETIME]
Each client connection gets a connection of its own to the upstream server; the bytes the
upstream sends back pass through a token bucket of that connection (64 KiB deep), however
many requests the connection carries. nginx's limit_rate, by contrast, starts afresh with
every request and lets the first second's worth through at once, so a client that sends
many short requests is hardly limited by it. Prints "ready" once listening.
"""
import socket
import sys
import threading
import time

from loopback_server import serve_for

LISTEN, UPSTREAM, RATE = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
LIFETIME = float(sys.argv[4]) if len(sys.argv) > 4 else 1800
BURST = 65536


def shut_both(client, upstream):
    # Ending both sockets wakes the pump of the other direction, so a relay never outlives
    # either end.
    for s in (client, upstream):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def pump_up(client, upstream):
    try:
        while True:
            data = client.recv(65536)
            if not data:
                break
            upstream.sendall(data)
    except OSError:
        pass
    shut_both(client, upstream)


def pump_down(upstream, client):
    tokens, last = float(BURST), time.monotonic()
    try:
        while True:
            now = time.monotonic()
            tokens = min(BURST, tokens + RATE * (now - last))
            last = now
            if tokens < 4096:
                time.sleep((4096 - tokens) / RATE)
                continue
            data = upstream.recv(int(tokens))
            if not data:
                break
            client.sendall(data)
            tokens -= len(data)
    except OSError:
        pass
    shut_both(client, upstream)


def serve(client):
    try:
        upstream = socket.create_connection(("127.0.0.1", UPSTREAM))
    except OSError:
        client.close()
        return
    for s in (client, upstream):
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    threading.Thread(target=pump_up, args=(client, upstream), daemon=True).start()
    pump_down(upstream, client)
    client.close()
    upstream.close()


def main():
    serve_for(LISTEN, LIFETIME, serve, 128, lambda: print("ready", flush=True))


if __name__ == "__main__":
    main()

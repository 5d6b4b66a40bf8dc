#!/usr/bin/python3
"""Loopback HTTP relay for the engine benchmark's tail scenario.

Usage: stall_proxy.py LISTEN_PORT UPSTREAM_PORT FILE_SIZE STATE_FILE [LIFETIME]
Relays keep-alive HTTP/1.1 requests to the upstream server. The first connection whose
response reaches 99.5 % of the file stops relaying (it stalls, keeping its socket open).
It writes to STATE_FILE the time at which the body bytes relayed in all passed 99 % of
the file size ("t99 <unix time>"). Stops by itself after LIFETIME seconds (default 600).
"""
import re
import socket
import sys
import threading
import time

LISTEN, UPSTREAM, SIZE, STATE = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
LIFETIME = float(sys.argv[5]) if len(sys.argv) > 5 else 600
STALL_AT = SIZE * 995 // 1000
lock = threading.Lock()
state = {"relayed": 0, "t99": None, "stalled": False}


def read_head(sock, buf):
    while b"\r\n\r\n" not in buf:
        chunk = sock.recv(65536)
        if not chunk:
            return None, buf
        buf += chunk
    end = buf.index(b"\r\n\r\n") + 4
    return buf[:end], buf[end:]


def count(n):
    with lock:
        state["relayed"] += n
        if state["t99"] is None and state["relayed"] >= SIZE * 0.99:
            state["t99"] = time.time()
            with open(STATE, "w") as f:
                f.write("t99 %.3f\n" % state["t99"])


def serve(client):
    upstream = socket.create_connection(("127.0.0.1", UPSTREAM))
    cbuf, ubuf = b"", b""
    try:
        while True:
            req, cbuf = read_head(client, cbuf)
            if req is None:
                return
            m = re.search(rb"(?i)\r\nrange: *bytes=(\d+)-", req)
            offset = int(m.group(1)) if m else 0
            upstream.sendall(req)
            head, ubuf = read_head(upstream, ubuf)
            if head is None:
                return
            client.sendall(head)
            m = re.search(rb"(?i)\r\ncontent-length: *(\d+)", head)
            left = int(m.group(1)) if m else 0
            while left > 0:
                if not ubuf:
                    ubuf = upstream.recv(1 << 20)
                    if not ubuf:
                        return
                piece, ubuf = ubuf[:left], ubuf[left:]
                with lock:
                    stall = not state["stalled"] and offset + len(piece) >= STALL_AT
                    if stall:
                        state["stalled"] = True
                if stall:
                    time.sleep(LIFETIME)
                    return
                client.sendall(piece)
                count(len(piece))
                offset += len(piece)
                left -= len(piece)
    except OSError:
        pass
    finally:
        upstream.close()
        client.close()


def main():
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", LISTEN))
    server.listen(64)
    server.settimeout(1.0)
    deadline = time.time() + LIFETIME
    while time.time() < deadline:
        try:
            client, _ = server.accept()
        except socket.timeout:
            continue
        threading.Thread(target=serve, args=(client,), daemon=True).start()


if __name__ == "__main__":
    main()

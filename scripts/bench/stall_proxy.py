#!/usr/bin/python3
"""Loopback HTTP relay for the engine benchmark's tail scenario.

Usage: stall_proxy.py LISTEN_PORT UPSTREAM_PORT FILE_SIZE STATE_FILE [LIFETIME]
Relays keep-alive HTTP/1.1 requests to the upstream server and keeps track of which bytes
of the file it has passed on (each byte once, however many connections carried it).

Once 99 % of the file has passed, it stalls one connection (stops relaying, keeps the
socket open): the first one about to pass bytes that no other connection has passed or
asked for (at least 256 KiB of them, or all that is missing), so the stalled connection
holds bytes the client needs to finish, whatever the client's way of splitting the file.
The rule looks only at the bytes in flight, so both clients meet the same situation.

STATE_FILE gets "t99 <unix time>" when 99 % has passed, "stalled ..." when the stall
begins, and "t100 <unix time>" when the last missing byte of the file has passed. Stops by itself after LIFETIME seconds.
"""
import re
import socket
import sys
import threading
import time

from loopback_server import serve_for

LISTEN, UPSTREAM, SIZE, STATE = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
LIFETIME = float(sys.argv[5]) if len(sys.argv) > 5 else 600
lock = threading.Lock()
covered = []         # sorted, merged [start, end) runs of bytes passed on
positions = {}       # active response id -> next offset it will relay
state = {"covered": 0, "stalled_id": None, "t99": None, "t100": None, "next_id": 0}


def note(line):
    with open(STATE, "a") as f:
        f.write(line + "\n")


def add_covered(start, end):
    """Adds [start, end) to the covered runs; returns the bytes that were new."""
    new, merged, placed = end - start, [], False
    for s, e in covered:
        if e < start or s > end:
            if s > end and not placed:
                merged.append([start, end])
                placed = True
            merged.append([s, e])
            continue
        new -= max(0, min(e, end) - max(s, start))
        start, end = min(s, start), max(e, end)
    if not placed:
        merged.append([start, end])
    merged.sort()
    covered[:] = merged
    return new


def run_ahead(offset, own_id):
    """Bytes from `offset` up to the next covered byte or another connection's position."""
    stop = SIZE
    for s, e in covered:
        if s <= offset < e:
            return 0
        if s > offset:
            stop = min(stop, s)
            break
    for cid, pos in positions.items():
        if cid != own_id and pos > offset:
            stop = min(stop, pos)
    return stop - offset


def stalls(cid, offset):
    """True for the connection to stall: after 99 %, the first one about to pass bytes it
    alone is heading for (at least 256 KiB of them, or all that is missing)."""
    with lock:
        if state["stalled_id"] is not None or state["t99"] is None:
            return state["stalled_id"] == cid
        ahead = run_ahead(offset, cid)
        if ahead < min(256 * 1024, SIZE - state["covered"]) or ahead == 0:
            return False
        state["stalled_id"] = cid
        note("stalled %d bytes_ahead %d after %.3f" % (cid, ahead, time.time() - state["t99"]))
        return True


def passed(cid, offset, n):
    """Bookkeeping after relaying [offset, offset + n)."""
    with lock:
        positions[cid] = offset + n
        state["covered"] += add_covered(offset, offset + n)
        now = time.time()
        if state["t99"] is None and state["covered"] >= SIZE * 0.99:
            state["t99"] = now
            note("t99 %.3f" % now)
        if state["t100"] is None and state["covered"] >= SIZE:
            state["t100"] = now
            note("t100 %.3f" % now)


def read_head(sock, buf):
    while b"\r\n\r\n" not in buf:
        chunk = sock.recv(65536)
        if not chunk:
            return None, buf
        buf += chunk
    end = buf.index(b"\r\n\r\n") + 4
    return buf[:end], buf[end:]


def serve(client):
    upstream = socket.create_connection(("127.0.0.1", UPSTREAM))
    cbuf, ubuf = b"", b""
    cid = None
    try:
        while True:
            req, cbuf = read_head(client, cbuf)
            if req is None:
                return
            m = re.search(rb"(?i)\r\nrange: *bytes=(\d+)-", req)
            offset = int(m.group(1)) if m else 0
            with lock:
                # Counted from the request on: its bytes are spoken for even before the
                # answer comes.
                cid = state["next_id"]
                state["next_id"] += 1
                positions[cid] = offset
            upstream.sendall(req)
            head, ubuf = read_head(upstream, ubuf)
            if head is None:
                return
            client.sendall(head)
            m = re.search(rb"(?i)\r\ncontent-length: *(\d+)", head)
            left = int(m.group(1)) if m else 0
            while left > 0:
                if not ubuf:
                    ubuf = upstream.recv(256 * 1024)
                    if not ubuf:
                        return
                if stalls(cid, offset):
                    time.sleep(LIFETIME)
                    return
                piece, ubuf = ubuf[:left], ubuf[left:]
                client.sendall(piece)
                passed(cid, offset, len(piece))
                offset += len(piece)
                left -= len(piece)
            with lock:
                positions.pop(cid, None)  # between replies it is heading nowhere
                cid = None
    except OSError:
        pass
    finally:
        with lock:
            if cid is not None and state["stalled_id"] != cid:
                positions.pop(cid, None)
        upstream.close()
        client.close()


def main():
    serve_for(LISTEN, LIFETIME, serve, 64)


if __name__ == "__main__":
    main()

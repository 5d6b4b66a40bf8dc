#!/usr/bin/python3
"""Loopback HTTP/1.1 server with the misbehaviours the engine must survive.

Usage: engine_server.py DIR [--lifetime SECONDS] [--host ADDRESS]
Prints "port N" once listening on ADDRESS (127.0.0.1). Serves the files of DIR as /MODE/NAME:
  r        Range, keep-alive, strong ETag           n       ignores Range (always 200)
  ncut     like n, but the first reply stops half-way
  early2   the first 2 ranged replies start 100 bytes before the asked offset
  e500x2   the first 2 requests answer 500           404     always 404
  cut3     the first 3 ranged replies stop half-way  reset3  the first 3 ranged replies
                                                             end in a TCP reset half-way
  stall    every reply sends 64 KiB, then stalls     slow    512 KiB/s per connection
  redir    302 to /r/NAME                            busy1   first request 503 Retry-After 1
  flip     a new ETag in every reply, every If-Range stale (mixed servers behind one name)
  chunk    ignores Range and sends the file in chunks, without length or validators
  chunkcut the same, but the first reply breaks off before its last chunk
  capped   answers at most 1 MiB per ranged request (as some CDNs do)
  short    claims the file is one byte shorter (a seed with another file of that name)
  fold     like slow, but every head has a folded ETag, a folded unknown field and a line
           without a colon
  change30 like r, but the file changes (as /ctl/change) once 30 % of its size was served
  hop      302 to /vanishK/NAME (K counts the hops); each /vanishK/ serves two requests slowly,
           then answers 410, so the engine must go back to /hop/ for a fresh redirect
  deadend  302 to /gone/NAME, which always answers 410 (a link that leads nowhere)
  downhop  302 to a port that refuses every connection (a node that is down) for the first
           2 requests, then to /r/NAME
  down     302 to that refusing port, always
  hopdown  302 to /nodeK/NAME (K counts the hops); each /nodeK/ serves two requests slowly,
           then resets every connection before a reply (a node that went down)
  few3     like slow, but at most 3 connections at once: a request on a fourth answers 503
           (without Retry-After) and closes it; "few3-refused" counts those answers
  huge63   like r, but names the size 2^63 - 1 (the file's own bytes follow)
  huge64   ignores Range and names the length 2^64 - 1
  endless  ignores Range and sends chunks without end ("bytes-endless" counts them)
  garble   like r, but every 64 KiB it sends carry one flipped byte (a server with other bytes)
  thin     like r, but all its replies together send 128 KiB/s, however many connections
           ask (an origin behind one thin line)
Control: /ctl/change/NAME rewrites the file with new content; /ctl/stats answers JSON of
request counts per mode. The server stops by itself after --lifetime seconds.
"""
import hashlib
import http.server
import json
import os
import socket
import struct
import sys
import threading
import time

ROOT = sys.argv[1]
LIFETIME = float(sys.argv[sys.argv.index("--lifetime") + 1]) if "--lifetime" in sys.argv else 300
HOST = sys.argv[sys.argv.index("--host") + 1] if "--host" in sys.argv else "127.0.0.1"
counts = {}
changed = set()
few3_open = set()  # connections /few3/ serves
lock = threading.Lock()
# Bound but never listening: the port stays ours, and every connection to it is refused.
refusing = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
refusing.bind((HOST, 0))
REFUSING = "http://%s:%d/" % (HOST, refusing.getsockname()[1])
HUGE = {"huge63": 2**63 - 1, "huge64": 2**64 - 1}  # sizes a server may claim
THIN_RATE = 128 * 1024  # bytes a second, all /thin/ replies together
thin_free_at = [0.0]  # when the thin line has sent everything asked of it so far


def bump(key):
    with lock:
        counts[key] = counts.get(key, 0) + 1
        return counts[key]


def wait_for_thin_line(size):
    """Queues `size` bytes on the thin line; returns once they may be sent."""
    with lock:
        now = time.monotonic()
        start = max(now, thin_free_at[0])
        thin_free_at[0] = start + size / THIN_RATE
    time.sleep(start - now)


def etag_of(path):
    st = os.stat(path)
    return '"%x-%x"' % (st.st_mtime_ns, st.st_size)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_simple(self, code, headers=(), body=b""):
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def parse_range(self, size):
        value = self.headers.get("Range")
        if not value or not value.startswith("bytes="):
            return None
        first, _, last = value[6:].partition("-")
        first = int(first)
        last = int(last) if last else size - 1
        return first, min(last, size - 1)

    def do_GET(self):
        parts = self.path.split("/", 2)
        if len(parts) < 3:
            return self.send_simple(404)
        mode, name = parts[1], parts[2]
        if mode == "ctl":
            return self.control(name)
        n = bump(mode)
        path = os.path.join(ROOT, os.path.basename(name))
        if mode == "404" or mode == "gone" or not os.path.isfile(path):
            return self.send_simple(410 if mode == "gone" else 404)
        if mode == "e500x2" and n <= 2:
            return self.send_simple(500)
        if mode == "busy1" and n <= 1:
            return self.send_simple(503, [("Retry-After", "1")])
        if mode == "few3" and not self.admit_few3():
            self.close_connection = True
            return self.send_simple(503, [("Connection", "close")])
        if mode == "redir":
            return self.send_simple(302, [("Location", "/r/" + name)])
        if mode in ("chunk", "chunkcut"):
            return self.send_chunked(path, cut=(mode == "chunkcut" and n == 1))
        if mode == "endless":
            return self.send_endless()
        if mode == "deadend":
            return self.send_simple(302, [("Location", "/gone/" + name)])
        if mode == "down" or (mode == "downhop" and n <= 2):
            return self.send_simple(302, [("Location", REFUSING + name)])
        if mode == "downhop":
            return self.send_simple(302, [("Location", "/r/" + name)])
        if mode == "hop":
            return self.send_simple(302, [("Location", "/vanish%d/%s" % (n, name))])
        if mode == "hopdown":
            return self.send_simple(302, [("Location", "/node%d/%s" % (n, name))])
        if mode.startswith("vanish") or mode.startswith("node"):
            if n <= 2:
                return self.serve_file("slow", path)
            if mode.startswith("vanish"):
                return self.send_simple(410)
            return self.reset()
        self.serve_file(mode, path)

    def reset(self):
        self.close_connection = True
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def admit_few3(self):
        with lock:
            if self in few3_open or len(few3_open) < 3:
                few3_open.add(self)
                return True
            counts["few3-refused"] = counts.get("few3-refused", 0) + 1
            return False

    def finish(self):
        with lock:
            few3_open.discard(self)
        super().finish()

    def control(self, rest):
        if rest.startswith("change/"):
            change_file(os.path.join(ROOT, os.path.basename(rest[7:])))
            return self.send_simple(200, body=b"changed")
        if rest == "stats":
            with lock:
                return self.send_simple(200, body=json.dumps(counts).encode())
        self.send_simple(404)

    def send_chunked(self, path, cut):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        with open(path, "rb") as f:
            data = f.read()
        step = 65536 + 13
        for pos in range(0, len(data), step):
            piece = data[pos:pos + step]
            if cut and pos > len(data) // 2:
                self.close_connection = True
                return
            self.wfile.write(b"%x;ext=1\r\n" % len(piece) + piece + b"\r\n")
        self.wfile.write(b"0\r\nX-Done: yes\r\n\r\n")

    def send_endless(self):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        piece = os.urandom(65536)
        while True:  # until the client hangs up
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
            with lock:
                counts["bytes-endless"] = counts.get("bytes-endless", 0) + len(piece)

    def serve_file(self, mode, path):
        size = HUGE.get(mode, os.path.getsize(path) - (1 if mode == "short" else 0))
        tag = etag_of(path)
        if mode == "flip":
            tag = '%s-%d"' % (tag[:-1], bump("flip-tags"))
        rng = None if mode in ("n", "ncut", "huge64") else self.parse_range(size)
        if rng and self.headers.get("If-Range") not in (None, tag):
            rng = None
        if rng and mode == "flip" and self.headers.get("If-Range"):
            rng = None
        if rng and rng[0] >= size:
            return self.send_simple(416, [("Content-Range", "bytes */%d" % size)])
        first, last = rng if rng else (0, size - 1)
        if rng and mode == "capped":
            last = min(last, first + (1 << 20) - 1)
        start = first
        if rng and mode == "early2" and bump("early2-ranged") <= 2 and first >= 100:
            start = first - 100
        length = last - start + 1
        self.send_response(206 if rng else 200)
        if rng:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, last, size))
        if mode == "fold":
            self._headers_buffer.append(
                b"ETag:\r\n \t" + tag.encode() + b"\r\nX-Note: one\r\n\ttwo\r\nNo colon here\r\n")
        elif mode not in ("n", "ncut"):
            self.send_header("ETag", tag)
            self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Length", str(length))
        self.end_headers()
        limit = length
        if rng and mode == "cut3" and bump("cut3-ranged") <= 3:
            limit = length // 2
        if rng and mode == "reset3" and bump("reset3-ranged") <= 3:
            limit = -(length // 2)
        if mode == "ncut" and bump("ncut-replies") == 1:
            limit = length // 2
        self.send_body(mode, path, start, length, limit)

    def send_body(self, mode, path, start, length, limit):
        sent = 0
        stop_at = abs(limit)
        with open(path, "rb") as f:
            f.seek(start)
            while sent < stop_at:
                step = 16384 if mode == "thin" else 65536
                chunk = f.read(min(step, stop_at - sent))
                if not chunk:
                    break
                if mode == "garble":
                    chunk = bytes([chunk[0] ^ 0xFF]) + chunk[1:]
                if mode == "thin":
                    wait_for_thin_line(len(chunk))
                self.wfile.write(chunk)
                sent += len(chunk)
                with lock:
                    counts["bytes-" + mode] = counts.get("bytes-" + mode, 0) + len(chunk)
                    change = (mode == "change30" and path not in changed and
                              counts["bytes-" + mode] >= 0.3 * os.path.getsize(path))
                    if change:
                        changed.add(path)
                        change_file(path)
                if mode in ("slow", "flip", "few3", "fold"):
                    time.sleep(0.125)  # 512 KiB/s per connection
                if mode == "stall" and sent >= 65536:
                    self.wfile.flush()
                    time.sleep(60)
                    break
        self.wfile.flush()
        if limit < 0:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        if limit != length:
            self.close_connection = True
            self.connection.close()


def change_file(path):
    size = os.path.getsize(path)
    with open(path, "r+b") as f:
        f.write(os.urandom(min(size, 4096)))
    os.utime(path, ns=(time.time_ns(), time.time_ns() + 10**9))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64

    def handle_error(self, request, client_address):
        pass  # clients hanging up mid-body is what these tests do


def main():
    server = Server((HOST, 0), Handler)
    print("port", server.server_address[1], flush=True)
    threading.Timer(LIFETIME, server.shutdown).start()
    server.serve_forever()


if __name__ == "__main__":
    main()

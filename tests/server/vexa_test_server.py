#!/usr/bin/python3
"""Local HTTP server for the tests and the demo (loopback only, Python standard library).

Start:
    vexa_test_server.py --root DIR [--port 0] [--port-file FILE] [--log-file FILE]
                        [--idle-timeout SECONDS] [--upload-limit BYTES]
  --port 0 lets the system choose a free port; the chosen port is printed on stdout as
  "PORT <n>" and written to --port-file (written whole, then renamed into place). The server
  binds 127.0.0.1 only and stops by itself after --idle-timeout seconds (default 120)
  in which no request arrived or was being answered.

Content:
  GET/HEAD /<path>            the file DIR/<path> (no "..", no absolute paths). Range requests
                              ("bytes=a-b", "bytes=a-", "bytes=-n", one range) get 206 with
                              Content-Range "bytes a-b/size"; an unsatisfiable range gets 416
                              with "bytes */size". Several ranges get the whole file (200).
                              Every answer carries ETag and Last-Modified of the file.
  GET /ClientApp/<name>/...   statistics reports: answered 200 "ok" when no file is there.
  PUT /crashdump/<path>       crash-dump uploads: the body is stored as DIR/crashdump/<path>
                              (written whole, then renamed into place) and answered 201; a
                              body over --upload-limit bytes (default 32 MiB) is refused with
                              413 unread and the connection closed. Faults apply (status,
                              delay: no answer for ms milliseconds, nothing of the body read).
  anything else missing       404.

Control (requests to /__* are not recorded):
  GET  /__log                 every recorded request as JSON: [{"seq", "time_ms" (since server
                              start, monotonic), "method", "target" (path and query as sent),
                              "headers": {name: value}, "sent": body bytes written so far},
                              ...]
  GET  /__log?format=tsv      the same, one request per line:
                              seq TAB time_ms TAB method TAB target TAB Name: value TAB ...
  POST /__log/clear           forgets the recorded requests.
  PUT  /__file?path=/x        stores the request body as DIR/x (folders are created).
  POST /__fault?path=/x&mode=M[&times=N][&...]
                              the next N requests (default: all) for path /x (the path without
                              its query; "/x*" covers every path that starts with /x) are
                              answered with fault M:
      status      &code=404            that status with a short body (404, 500, ...)
      retry       &code=503&seconds=S  that status (429/503) with "Retry-After: S"
      no-length                        200, body without Content-Length, connection closed
      cut         &at=N                full Content-Length, only N bytes, connection closed
      reset       &at=N                N bytes, then the connection is reset (RST)
      slow        &rate=B              body at about B bytes per second
      stall       &at=N&seconds=S      N bytes, then nothing for S seconds (default 30), close
      delay       &ms=T                headers only after T milliseconds, then normal
      change                           the n-th answer (n = 0, 1, ...) has every byte of the
                                       file XOR n and ETag/Last-Modified of its own
      ignore-range                     200 with the whole file also for ranged requests
      early-range &by=N                206 starting N bytes before the asked start (the
                                       Content-Range header tells the real start)
      wrong-total &total=T             206 whose Content-Range names total T
      cap         &bytes=N             206 of at most N bytes from the asked start (a server
                                       that caps the length of one reply)
      redirect    &to=/y&code=302      redirect (301/302/303/307) to /y
      held        &code=404            that status, but only once /__release names the path
                                       (requests wait for it, at most 120 s)
  POST /__release?path=/x     lets the held requests for /x be answered.
  POST /__fault/clear         removes every fault.
  GET  /__ping                answers "pong".
"""

import argparse
import email.utils
import http.server
import json
import os
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

START = time.monotonic()
STATE_LOCK = threading.Lock()
LOG = []          # recorded requests
FAULTS = {}       # path -> {"mode": ..., "params": {...}, "times": n or None, "served": n}
RELEASES = {}     # path -> threading.Event set by /__release
LAST_REQUEST = [time.monotonic()]
ACTIVE = [0]      # requests being answered; the server is idle only when none is
ARGS = None


def now_ms():
    return round((time.monotonic() - START) * 1000.0, 3)


def safe_local_path(url_path):
    rel = urllib.parse.unquote(url_path).lstrip("/")
    parts = [p for p in rel.split("/") if p not in ("", ".")]
    if any(p == ".." for p in parts) or not parts:
        return None
    return os.path.join(ARGS.root, *parts)


def release_of(path):
    with STATE_LOCK:
        return RELEASES.setdefault(path, threading.Event())


def take_fault(path):
    """The fault for this path, counting one use, or None."""
    with STATE_LOCK:
        key = path
        if key not in FAULTS:
            key = next((k for k in FAULTS if k.endswith("*") and path.startswith(k[:-1])), None)
        fault = FAULTS.get(key) if key else None
        if not fault:
            return None
        served = fault["served"]
        fault["served"] += 1
        if fault["times"] is not None:
            fault["times"] -= 1
            if fault["times"] <= 0:
                del FAULTS[key]
        return dict(fault, index=served)


def parse_range(header, size):
    """(start, end) inclusive, "unsatisfiable", or None for no usable single range."""
    if not header or not header.startswith("bytes="):
        return None
    ranges = header[len("bytes="):].strip()
    if "," in ranges:
        return None
    first, _, last = ranges.partition("-")
    try:
        if first == "":
            count = int(last)
            if count <= 0:
                return "unsatisfiable"
            return (max(0, size - count), size - 1)
        start = int(first)
        end = int(last) if last else size - 1
    except ValueError:
        return None
    if start >= size or end < start:
        return "unsatisfiable"
    return (start, min(end, size - 1))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VexaTestServer/1.0"

    def log_message(self, fmt, *args):  # quiet
        pass

    def setup(self):
        super().setup()
        # Headers and body leave in separate writes; without this each answer waits for
        # the client's delayed acknowledgement.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    # ----- recording -------------------------------------------------------------------
    def record(self):
        LAST_REQUEST[0] = time.monotonic()
        if self.path.startswith("/__"):
            return
        entry = {
            "time_ms": now_ms(),
            "method": self.command,
            "target": self.path,
            "headers": {k: v for k, v in self.headers.items()},
            "sent": 0,
        }
        self.entry = entry
        with STATE_LOCK:
            entry["seq"] = len(LOG)
            LOG.append(entry)
        if ARGS.log_file:
            with STATE_LOCK, open(ARGS.log_file, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry, ensure_ascii=False) + "\n")

    # ----- plumbing --------------------------------------------------------------------
    def send_simple(self, code, body=b"", headers=None, close=False):
        self.send_response(code)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def read_request_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def reset_connection(self):
        try:
            self.wfile.flush()
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
        except OSError:
            pass
        self.close_connection = True
        try:
            self.connection.close()
        except OSError:
            pass

    # ----- control ---------------------------------------------------------------------
    def handle_control(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        if url.path == "/__ping":
            return self.send_simple(200, b"pong")
        if url.path == "/__log" and self.command == "GET":
            with STATE_LOCK:
                entries = list(LOG)
            if query.get("format") == "tsv":
                lines = []
                for e in entries:
                    fields = [str(e["seq"]), "%.3f" % e["time_ms"], e["method"], e["target"]]
                    fields += ["%s: %s" % kv for kv in e["headers"].items()]
                    lines.append("\t".join(fields))
                body = ("\n".join(lines) + ("\n" if lines else "")).encode("utf-8")
                return self.send_simple(200, body, {"Content-Type": "text/plain; charset=utf-8"})
            body = json.dumps(entries, ensure_ascii=False).encode("utf-8")
            return self.send_simple(200, body, {"Content-Type": "application/json"})
        if url.path == "/__log/clear":
            self.read_request_body()
            with STATE_LOCK:
                LOG.clear()
            return self.send_simple(200, b"ok")
        if url.path == "/__file" and self.command in ("PUT", "POST"):
            data = self.read_request_body()
            local = safe_local_path(query.get("path", ""))
            if not local:
                return self.send_simple(400, b"bad path")
            os.makedirs(os.path.dirname(local), exist_ok=True)
            with open(local + ".part", "wb") as f:
                f.write(data)
            os.replace(local + ".part", local)
            return self.send_simple(200, b"ok")
        if url.path == "/__fault/clear":
            self.read_request_body()
            with STATE_LOCK:
                FAULTS.clear()
            return self.send_simple(200, b"ok")
        if url.path == "/__release":
            self.read_request_body()
            release_of(urllib.parse.unquote(query.get("path", ""))).set()
            return self.send_simple(200, b"ok")
        if url.path == "/__fault":
            self.read_request_body()
            path = query.pop("path", "")
            mode = query.pop("mode", "")
            times = query.pop("times", "")
            if not path.startswith("/") or not mode:
                return self.send_simple(400, b"path and mode needed")
            with STATE_LOCK:
                FAULTS[urllib.parse.unquote(path)] = {"mode": mode, "params": query,
                                "times": int(times) if times else None, "served": 0}
            return self.send_simple(200, b"ok")
        return self.send_simple(404, b"unknown control")

    # ----- content ---------------------------------------------------------------------
    def do_GET(self):
        self.record()
        if self.path.startswith("/__"):
            return self.handle_control()
        self.answer_counted(self.serve)

    def do_HEAD(self):
        self.do_GET()

    def do_POST(self):
        self.record()
        if self.path.startswith("/__"):
            return self.handle_control()
        self.read_request_body()
        self.send_simple(405, b"")

    def do_PUT(self):
        if not self.path.startswith("/crashdump/"):
            return self.do_POST()
        self.record()
        self.answer_counted(self.store_upload)

    def answer_counted(self, answer):
        """Runs `answer`, the request counted among those in progress meanwhile."""
        with STATE_LOCK:
            ACTIVE[0] += 1
        try:
            answer()
        finally:
            with STATE_LOCK:
                ACTIVE[0] -= 1
            LAST_REQUEST[0] = time.monotonic()

    def take_request_fault(self):
        """The request's path and the fault armed for it (mode, params, and how many requests
        it met before this one), after its delay."""
        url = urllib.parse.urlsplit(self.path)
        fault = take_fault(urllib.parse.unquote(url.path))
        params = fault["params"] if fault else {}
        mode = fault["mode"] if fault else None
        if mode == "delay":
            time.sleep(int(params.get("ms", "1000")) / 1000.0)
        return url, mode, params, fault["index"] if fault else 0

    def store_upload(self):
        url, mode, params, _ = self.take_request_fault()
        if mode == "delay":
            self.close_connection = True
            return
        length = int(self.headers.get("Content-Length") or 0)
        if length > ARGS.upload_limit:
            return self.send_simple(413, b"too large\n", close=True)
        data = self.rfile.read(length) if length > 0 else b""
        if mode == "status":
            code = int(params.get("code", "500"))
            return self.send_simple(code, ("status %d\n" % code).encode())
        local = safe_local_path(url.path)
        if not local or len(data) != length:
            return self.send_simple(400, b"bad upload\n", close=True)
        os.makedirs(os.path.dirname(local), exist_ok=True)
        with open(local + ".part", "wb") as f:
            f.write(data)
        os.replace(local + ".part", local)
        self.send_simple(201, b"stored\n")

    def serve(self):
        url, mode, params, index = self.take_request_fault()
        if mode == "held":
            release_of(urllib.parse.unquote(url.path)).wait(timeout=120)
        if mode in ("status", "held"):
            code = int(params.get("code", "404"))
            return self.send_simple(code, ("status %d\n" % code).encode())
        if mode == "retry":
            code = int(params.get("code", "503"))
            return self.send_simple(code, b"busy\n", {"Retry-After": params.get("seconds", "1")})
        if mode == "redirect":
            code = int(params.get("code", "302"))
            return self.send_simple(code, b"", {"Location": params.get("to", "/")})

        local = safe_local_path(url.path)
        if local and os.path.isfile(local):
            content = FileContent(local)
        elif url.path.startswith("/ClientApp/"):
            content = BytesContent(b"ok")
        else:
            return self.send_simple(404, b"not found\n")

        etag = '"%x-%x"' % (content.size, int(content.mtime))
        mtime = content.mtime
        if mode == "change":
            content.xor = index % 256
            etag = '"change-%d"' % index
            mtime = mtime + index
        validators = {"ETag": etag, "Last-Modified": email.utils.formatdate(mtime, usegmt=True),
                      "Accept-Ranges": "bytes"}
        try:
            self.send_body(content, validators, mode, params)
        finally:
            content.close()

    def send_body(self, content, validators, mode, params):
        size = content.size
        status, start, end = 200, 0, size - 1
        rng = None if mode == "ignore-range" else parse_range(self.headers.get("Range"), size)
        if rng == "unsatisfiable":
            return self.send_simple(416, b"", dict(validators,
                                                   **{"Content-Range": "bytes */%d" % size}))
        headers = dict(validators)
        if isinstance(rng, tuple):
            status, (start, end) = 206, rng
            total = size
            if mode == "early-range":
                start = max(0, start - int(params.get("by", "1")))
            if mode == "wrong-total":
                total = int(params.get("total", str(size + 1)))
            if mode == "cap":
                end = min(end, start + int(params.get("bytes", "65536")) - 1)
            headers["Content-Range"] = "bytes %d-%d/%d" % (start, end, total)
        length = max(0, end + 1 - start)

        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        if mode == "no-length":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        if mode in ("cut", "reset", "stall"):
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if self.command == "HEAD":
            return
        self.write_body(content, start, length, mode, params)

    def write_chunk(self, chunk):
        self.wfile.write(chunk)
        self.entry["sent"] += len(chunk)

    def write_body(self, content, start, length, mode, params):
        try:
            if mode in ("cut", "reset", "stall"):
                at = min(length, int(params.get("at", "0")))
                for chunk in content.chunks(start, at):
                    self.write_chunk(chunk)
                self.wfile.flush()
                if mode == "reset":
                    return self.reset_connection()
                if mode == "stall":
                    time.sleep(float(params.get("seconds", "30")))
                return
            if mode == "slow":
                rate = max(1, int(params.get("rate", "10240")))
                piece = max(1, rate // 20)
                for chunk in content.chunks(start, length, piece):
                    self.write_chunk(chunk)
                    self.wfile.flush()
                    time.sleep(len(chunk) / rate)
                return
            for chunk in content.chunks(start, length):
                self.write_chunk(chunk)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


class BytesContent:
    """A small body held in memory."""

    def __init__(self, data):
        self.data, self.size, self.mtime, self.xor = data, len(data), 0, 0

    def chunks(self, start, length, piece=65536):
        for offset in range(start, start + length, piece):
            yield xor_bytes(self.data[offset:min(offset + piece, start + length)], self.xor)

    def close(self):
        pass


class FileContent:
    """A file streamed from disk, so large package files cost no memory."""

    def __init__(self, path):
        self.file = open(path, "rb")
        stat = os.fstat(self.file.fileno())
        self.size, self.mtime, self.xor = stat.st_size, stat.st_mtime, 0

    def chunks(self, start, length, piece=65536):
        self.file.seek(start)
        left = length
        while left > 0:
            chunk = self.file.read(min(piece, left))
            if not chunk:
                return
            left -= len(chunk)
            yield xor_bytes(chunk, self.xor)

    def close(self):
        self.file.close()


XOR_TABLES = [bytes(b ^ value for b in range(256)) for value in range(256)]


def xor_bytes(chunk, value):
    return chunk.translate(XOR_TABLES[value]) if value else chunk


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def watch_idle(server, idle_seconds):
    while True:
        time.sleep(0.5)
        with STATE_LOCK:
            busy = ACTIVE[0] > 0
        if not busy and time.monotonic() - LAST_REQUEST[0] > idle_seconds:
            server.shutdown()
            return


def main():
    global ARGS
    parser = argparse.ArgumentParser(description="Local test server (loopback only)")
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log-file")
    parser.add_argument("--idle-timeout", type=float, default=120.0)
    parser.add_argument("--upload-limit", type=int, default=32 << 20)
    ARGS = parser.parse_args()
    ARGS.root = os.path.abspath(ARGS.root)
    os.makedirs(ARGS.root, exist_ok=True)

    server = Server(("127.0.0.1", ARGS.port), Handler)
    port = server.server_address[1]
    if ARGS.port_file:
        with open(ARGS.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(ARGS.port_file + ".tmp", ARGS.port_file)
    print("PORT %d" % port, flush=True)
    threading.Thread(target=watch_idle, args=(server, ARGS.idle_timeout), daemon=True).start()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Helpers for tests that publish a package with vexa_publish and serve it with nginx.

The nginx is a private one: its own prefix, pid and logs in the staged conf folder, a port
found free just before it starts, and a bounded lifetime (`timeout`), so a test that dies
leaves nothing running for long.
"""

import os
import random
import shutil
import socket
import struct
import subprocess
import time
import zlib

PUBLISH = os.environ.get("VEXA_PUBLISH", "")
NGINX = shutil.which("nginx") or "/usr/sbin/nginx"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_pattern(path, size, seed):
    """A file of `size` bytes whose content depends on `seed` (cheap to make, not sparse)."""
    rng = random.Random(seed)
    block = bytes(rng.getrandbits(8) for _ in range(65536))
    with open(path, "wb") as f:
        left = size
        n = 0
        while left > 0:
            piece = block[n % 251:] + block[:n % 251]
            f.write(piece[:min(left, len(piece))])
            left -= min(left, len(piece))
            n += 1


def write_png(path, width=680, height=420):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    rows = b"".join(b"\x00" + bytes([40, 120, 200] * width) for _ in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows)))
        f.write(chunk(b"IEND", b""))


def write_pe(path, payload=b""):
    """A minimal x86-64 Windows program for signing: its entry point returns at once (the
    program may be started: a demo's companion is), followed by `payload` as data."""
    optional = struct.pack("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII", 0x20B, 14, 0, 0x200, 0, 0, 0x1000,
                           0x1000, 0x140000000, 0x1000, 0x200, 6, 0, 0, 0, 6, 0, 0, 0x2000,
                           0x200, 0, 2, 0x8160, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    optional += bytes(16 * 8)
    headers = (b"MZ" + bytes(58) + struct.pack("<I", 0x40) + b"PE\0\0" +
               struct.pack("<HHIIIHH", 0x8664, 1, 0, 0, 0, len(optional), 0x22) + optional +
               struct.pack("<8sIIIIIIHHI", b".text", 0x200, 0x1000, 0x200, 0x200, 0, 0, 0, 0,
                           0x60000020))
    with open(path, "wb") as f:
        f.write(headers.ljust(0x200, b"\0") + (b"\xc3" + payload).ljust(0x200, b"\xcc"))


def sign_pe(path, work):
    """Signs `path` in place with a self-signed certificate made in `work` (osslsigncode)."""
    key, cert = os.path.join(work, "signer.key"), os.path.join(work, "signer.pem")
    if not os.path.exists(cert):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                        key, "-out", cert, "-days", "30", "-subj", "/CN=Vexa Test Signer"],
                       check=True, capture_output=True, timeout=120)
    signed = path + ".signed"
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", path, "-out",
                    signed], check=True, capture_output=True, timeout=120)
    os.replace(signed, path)


def publish(*args, check=True):
    result = subprocess.run([PUBLISH, *[str(a) for a in args]], capture_output=True, text=True,
                            timeout=600)
    if check and result.returncode != 0:
        raise AssertionError("vexa_publish %s failed (%d):\n%s%s" %
                             (args[0], result.returncode, result.stdout, result.stderr))
    return result


class Nginx:
    """An nginx serving a conf folder written by `vexa_publish stage`."""

    def __init__(self, conf_dir, port, lifetime=600):
        self.conf_dir = conf_dir
        self.port = port
        self.lifetime = lifetime
        self.process = None

    def _globals(self):
        # As root the workers would run as nobody, who may not read a private test folder.
        return "daemon off;" + (" user root;" if os.geteuid() == 0 else "")

    def start(self):
        log = open(os.path.join(self.conf_dir, "nginx.out"), "w")
        self.process = subprocess.Popen(
            ["timeout", str(self.lifetime), NGINX, "-p", self.conf_dir, "-c",
             os.path.join(self.conf_dir, "nginx.conf"), "-g", self._globals()],
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise AssertionError("nginx ended: " + open(log.name).read())
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return
            except OSError:
                time.sleep(0.1)
        raise AssertionError("nginx did not listen on %d" % self.port)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def restart(self):
        self.stop()
        self.start()


def stage_and_serve(work, package_id, document, files, attempts=5):
    """Stages the package under work/www and work/conf and starts nginx on a free port.
    The document must name `127.0.0.1:PORT`: `document` is a function of the port that
    authors it and returns its path."""
    last = None
    for _ in range(attempts):
        port = free_port()
        doc = document(port)
        publish("stage", "--root", os.path.join(work, "www"), "--conf",
                os.path.join(work, "conf"), "--listen", "127.0.0.1:%d" % port,
                "--package", "%s=%s" % (package_id, doc), *files)
        server = Nginx(os.path.join(work, "conf"), port)
        try:
            server.start()
            return server, port
        except AssertionError as error:  # the port was taken in between: try another
            server.stop()
            last = error
    raise last


def stage_one_file(work, package_id, name, size, seed, game_name, new_version):
    """A package of one generated file (work/NAME) staged and served: (server, port, file)."""
    path = os.path.join(work, name)
    write_pattern(path, size, seed)

    def author(port):
        doc = os.path.join(work, "doc.html")
        publish("author", "--out", doc, "--base-url", "http://127.0.0.1:%d/g" % port,
                "--game-name", game_name, "--new-version", new_version, path)
        return doc

    server, port = stage_and_serve(work, package_id, author, [path])
    return server, port, path


def check_rows(output):
    """The check table as {item: (result, problem)}; a row's "> via" line is left out."""
    rows = {}
    last = None
    for line in output.splitlines():
        if line.startswith("ITEM") or line.startswith("PASSED") or line.startswith("FAILED"):
            continue
        if line.strip().startswith("> "):
            continue
        if line.strip().startswith("^ ") and last:
            rows[last] = (rows[last][0], line.strip()[2:])
            continue
        if len(line) > 48:
            last = line[:11].strip()
            rows[last] = (line[48:54].strip(), "")
    return rows

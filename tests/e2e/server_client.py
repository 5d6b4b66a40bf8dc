"""The local test server (tests/server/vexa_test_server.py) for the Python tests: started on a
free loopback port over a fresh folder (or given ones), and its control requests.

Shared by the end-to-end tests of the whole program, the crash-report test and the
download-window tests.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

SERVER = os.environ.get("VEXA_TEST_SERVER") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "server", "vexa_test_server.py")


class Server:
    """vexa_test_server.py serving `root` (default: a fresh folder) on a loopback port (a free
    one, or `port` to come back on after a stop)."""

    def __init__(self, root=None, port=0, prefix="server-root-"):
        self.root = root or tempfile.mkdtemp(prefix=prefix)
        os.makedirs(self.root, exist_ok=True)
        port_file = os.path.join(self.root, ".port")
        if os.path.exists(port_file):
            os.remove(port_file)
        self.proc = subprocess.Popen([sys.executable, SERVER, "--root", self.root, "--port",
                                      str(port), "--port-file", port_file,
                                      "--idle-timeout", "900"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The port file is written whole once the socket is bound, however long that takes.
        deadline = time.time() + 120
        while not os.path.exists(port_file):
            if self.proc.poll() is not None or time.time() > deadline:
                raise AssertionError("the test server did not start on port %s" % port)
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read().strip())
        self.host = "127.0.0.1:%d" % self.port

    def url(self, path):
        return "http://%s%s" % (self.host, path)

    def put(self, path, data):
        full = os.path.join(self.root, path.lstrip("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)

    def control(self, path, method="POST"):
        request = urllib.request.Request(self.url(path), method=method,
                                         data=b"" if method == "POST" else None)
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.read()

    def fault(self, path, mode, **params):
        query = "".join("&%s=%s" % item for item in params.items())
        self.control("/__fault?path=%s&mode=%s%s" % (path, mode, query))

    def release(self, path):
        """Lets the requests that a "held" fault keeps waiting for `path` be answered."""
        self.control("/__release?path=%s" % path)

    def clear_faults(self):
        self.control("/__fault/clear")

    def log(self):
        """Every recorded request: [{"seq", "time_ms", "method", "target", "headers", "sent"}]."""
        return json.loads(self.control("/__log", method="GET"))

    def requests(self, path):
        """The recorded requests for `path` (their query ignored)."""
        return [e for e in self.log() if e["target"].split("?")[0] == path]

    def bytes_sent(self, path):
        """Body bytes the server sent for `path` (its query ignored), over every request."""
        return sum(e.get("sent", 0) for e in self.requests(path))

    def stop(self, keep_root=False):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=60)
        if not keep_root:
            shutil.rmtree(self.root, ignore_errors=True)

#!/usr/bin/python3
"""Checks the local test server's content, range and fault modes (run by ctest)."""

import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))


class ServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        port_file = os.path.join(cls.work.name, "port")
        cls.proc = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "vexa_test_server.py"), "--root",
             os.path.join(cls.work.name, "root"), "--port", "0", "--port-file", port_file,
             "--idle-timeout", "600", "--upload-limit", "4096"], stdout=subprocess.PIPE,
            text=True)
        # "PORT n" comes once the socket is bound, however long start-up takes on a busy
        # machine; the port file must then hold the same.
        line = cls.proc.stdout.readline()
        if not line.startswith("PORT "):
            raise RuntimeError("the test server did not start (exit %s)" % cls.proc.poll())
        cls.port = int(line.split()[1])
        with open(port_file) as f:
            if int(f.read()) != cls.port:
                raise RuntimeError("the port file differs from the announced port")

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait()
        cls.work.cleanup()

    def request(self, method, target, body=None, headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=120)
        conn.request(method, target, body=body, headers=headers or {})
        response = conn.getresponse()
        data = response.read()
        conn.close()
        return response, data

    def put(self, path, data):
        response, _ = self.request("PUT", "/__file?path=" + urllib.parse.quote(path), data)
        self.assertEqual(response.status, 200)

    def fault(self, path, mode, **params):
        query = urllib.parse.urlencode(dict(params, path=path, mode=mode))
        response, _ = self.request("POST", "/__fault?" + query)
        self.assertEqual(response.status, 200)

    def setUp(self):
        self.request("POST", "/__fault/clear")
        self.request("POST", "/__log/clear")
        self.data = bytes(range(256)) * 40
        self.put("/f.bin", self.data)

    def test_whole_file_and_ranges(self):
        response, body = self.request("GET", "/f.bin")
        self.assertEqual((response.status, body), (200, self.data))
        response, body = self.request("GET", "/f.bin", headers={"Range": "bytes=100-199"})
        self.assertEqual(response.status, 206)
        self.assertEqual(response.getheader("Content-Range"), "bytes 100-199/10240")
        self.assertEqual(body, self.data[100:200])
        response, body = self.request("GET", "/f.bin", headers={"Range": "bytes=-10"})
        self.assertEqual(body, self.data[-10:])
        response, _ = self.request("GET", "/f.bin", headers={"Range": "bytes=20000-"})
        self.assertEqual(response.status, 416)
        self.assertEqual(response.getheader("Content-Range"), "bytes */10240")
        response, body = self.request("HEAD", "/f.bin")
        self.assertEqual((response.status, body, response.getheader("Content-Length")),
                         (200, b"", "10240"))

    def test_log_records_requests_but_not_control(self):
        self.request("GET", "/ClientApp/statLogMuldownUrl/?name={A}&from=0&")
        response, body = self.request("GET", "/__log")
        entries = json.loads(body)
        self.assertEqual([e["target"] for e in entries],
                         ["/ClientApp/statLogMuldownUrl/?name={A}&from=0&"])
        response, body = self.request("GET", "/__log?format=tsv")
        self.assertIn("\tGET\t/ClientApp/statLogMuldownUrl/", body.decode())

    def test_status_retry_redirect(self):
        self.fault("/f.bin", "status", code=500, times=1)
        self.assertEqual(self.request("GET", "/f.bin")[0].status, 500)
        self.assertEqual(self.request("GET", "/f.bin")[0].status, 200)  # used up
        self.fault("/f.bin", "retry", code=429, seconds=3)
        response, _ = self.request("GET", "/f.bin")
        self.assertEqual((response.status, response.getheader("Retry-After")), (429, "3"))
        self.fault("/f.bin", "redirect", to="/g.bin", code=307)
        response, _ = self.request("GET", "/f.bin")
        self.assertEqual((response.status, response.getheader("Location")), (307, "/g.bin"))

    def test_body_faults(self):
        self.fault("/f.bin", "cut", at=100, times=1)
        with self.assertRaises(http.client.IncompleteRead):
            self.request("GET", "/f.bin")
        self.fault("/f.bin", "no-length", times=1)
        response, body = self.request("GET", "/f.bin")
        self.assertIsNone(response.getheader("Content-Length"))
        self.assertEqual(body, self.data)
        self.fault("/f.bin", "reset", at=10, times=1)
        with self.assertRaises((ConnectionResetError, http.client.IncompleteRead)):
            self.request("GET", "/f.bin")
        self.fault("/f.bin", "slow", rate=20480, times=1)
        start = time.monotonic()
        self.assertEqual(self.request("GET", "/f.bin")[1], self.data)
        self.assertGreater(time.monotonic() - start, 0.3)

    def test_change_between_requests(self):
        self.fault("/f.bin", "change")
        first, body1 = self.request("GET", "/f.bin")
        second, body2 = self.request("GET", "/f.bin")
        self.assertEqual(body1, self.data)
        self.assertEqual(len(body2), len(self.data))
        self.assertNotEqual(body2, self.data)
        self.assertNotEqual(first.getheader("ETag"), second.getheader("ETag"))

    def test_range_faults(self):
        self.fault("/f.bin", "ignore-range", times=1)
        response, body = self.request("GET", "/f.bin", headers={"Range": "bytes=10-"})
        self.assertEqual((response.status, body), (200, self.data))
        self.fault("/f.bin", "early-range", by=5, times=1)
        response, body = self.request("GET", "/f.bin", headers={"Range": "bytes=100-"})
        self.assertEqual(response.getheader("Content-Range"), "bytes 95-10239/10240")
        self.assertEqual(body, self.data[95:])
        self.fault("/f.bin", "wrong-total", total=99, times=1)
        response, _ = self.request("GET", "/f.bin", headers={"Range": "bytes=0-9"})
        self.assertEqual(response.getheader("Content-Range"), "bytes 0-9/99")

    def test_paths_cannot_leave_the_root(self):
        self.assertEqual(self.request("GET", "/../port")[0].status, 404)
        self.assertEqual(self.request("GET", "/%2e%2e/port")[0].status, 404)

    def test_crash_dump_uploads(self):
        root = os.path.join(self.work.name, "root")
        response, _ = self.request("PUT", "/crashdump/%7Bid%7D/1.0/a_000.dmp", b"MDMP" * 10)
        self.assertEqual(response.status, 201)
        with open(os.path.join(root, "crashdump", "{id}", "1.0", "a_000.dmp"), "rb") as f:
            self.assertEqual(f.read(), b"MDMP" * 10)
        response, _ = self.request("PUT", "/crashdump/big.dmp", b"x" * 4097)
        self.assertEqual(response.status, 413)
        self.assertFalse(os.path.exists(os.path.join(root, "crashdump", "big.dmp")))
        self.assertEqual(self.request("PUT", "/crashdump/../escape.dmp", b"x")[0].status, 400)
        self.fault("/crashdump/*", "status", code=503, times=1)
        self.assertEqual(self.request("PUT", "/crashdump/b.dmp", b"x")[0].status, 503)
        self.assertEqual(self.request("PUT", "/crashdump/b.dmp", b"x")[0].status, 201)


if __name__ == "__main__":
    unittest.main()

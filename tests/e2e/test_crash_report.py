"""Crash reporting in the real program: a stamped copy with its stamped uploader beside it
fails from outside (a thread started at an invalid address in it, for the shipped program
has no crash hook of its own); the dump is written, sent to the statistics server and
removed once the server has it."""

import os
import subprocess
import time
import unittest

import harness as h
from fixture import Server

# Wine's WinInet would send the requests to a proxy named in these.
for name in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
             "ALL_PROXY", "no_proxy", "NO_PROXY"):
    os.environ.pop(name, None)


class CrashReportTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch_dir("crash_report")
        for name in os.listdir(self.folder):
            path = os.path.join(self.folder, name)
            if os.path.isdir(path):
                subprocess.run(["rm", "-rf", path], check=True)
        self.server = Server(root=os.path.join(self.folder, "server"))
        self.root = self.server.root
        self.host = self.server.host
        self.program = None

    def tearDown(self):
        if self.program:
            h.stop(self.program)
        self.server.stop(keep_root=True)

    def test_a_crash_leaves_a_dump_that_reaches_the_statistics_server(self):
        package_id = h.new_package_id()
        copy = os.path.join(self.folder, "crashing.exe")
        values = dict(config_server=self.host, stats_server=self.host, version="4.3.2.1")
        h.stamp(copy, package_id, **values)
        h.stamp(os.path.join(self.folder, "Plorex.exe"), package_id, program=h.UPLOADER,
                **values)

        self.program = h.start(copy)
        self.assertEqual(h.wait_windows(1), 1,
                         "the program shows no window\n" + self.program.describe())
        started = time.time()
        fault = h.driver_on_window("crash-remote", h.MAIN_TITLE_PREFIX)
        self.assertEqual(fault.returncode, 0, fault.describe())
        self.program.wait(timeout=120)
        print("fault to exit: %.2f s" % (time.time() - started))

        uploads = os.path.join(self.root, "crashdump", package_id, "4.3.2.1")
        self.assertTrue(h.wait_until(lambda: os.path.isdir(uploads) and any(
            n.endswith("_000.dmp") for n in os.listdir(uploads)), 90), "nothing was uploaded")
        (name,) = os.listdir(uploads)
        with open(os.path.join(uploads, name), "rb") as f:
            self.assertEqual(f.read(4), b"MDMP")
        dumps = os.path.join(self.folder, "dump")
        # The uploader deletes the dump once the server has answered.
        self.assertTrue(h.wait_until(lambda: os.listdir(dumps) == [], 60), os.listdir(dumps))


if __name__ == "__main__":
    unittest.main()

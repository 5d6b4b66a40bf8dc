"""Reports sent by the program's statistics manager (under Wine) to a staged nginx are
counted right by `vexa_publish stats`. Runs inside tests/server/with_server.sh, so the
system reports a network connection while everything stays on 127.0.0.1."""

import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from publish_site import publish, stage_one_file

SENDER = os.environ.get("VEXA_REPORT_SENDER", "")
P1 = "{11111111-2222-3333-4444-555555555555}"
P2 = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"
LIST = "0123456789abcdef0123456789abcdef,fedcba9876543210fedcba9876543210"

REPORTS = [
    "statLogMuldownUrl,%s,mid-A" % P1,
    "statLogQuilletMuldownUrl,%s,mid-A" % P1,
    "statLogMuldownMd5,%s,mid-A,%s" % (P1, LIST),
    "statLogMuldownUrl,%s,mid-B" % P1,
    "statLogMuldownUrl,%s,mid-B" % P1,
    "statLogMuldownMd5,%s,mid-C,%s" % (P1, LIST),
    "statLogMuldownUrl,%s,mid-A" % P2,
]


class StatsCountTest(unittest.TestCase):
    def test_reports_of_the_program_are_counted(self):
        root = os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir())
        os.makedirs(root, exist_ok=True)
        work = tempfile.mkdtemp(prefix="publish-stats-", dir=root)
        server, port, _ = stage_one_file(work, P1, "game.bin", 1000, 1, "Stats", "1.0.0.1")
        sender = None
        try:
            log = os.path.join(work, "conf", "stats.log")
            sender = subprocess.Popen(["wine", SENDER, "127.0.0.1:%d" % port, *REPORTS],
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 120
            lines = 0
            while time.monotonic() < deadline and lines < len(REPORTS):
                time.sleep(0.2)
                if os.path.exists(log):
                    with open(log) as f:
                        lines = sum(1 for _ in f)
            self.assertEqual(lines, len(REPORTS), "reports in the log")
            # The documented wire form, which a publisher's own server may read raw.
            with open(log) as f:
                raw = f.read()
            self.assertIn("name=%s&from=1&mid=mid-A&" % P1, raw)
            self.assertIn("&md5=" + LIST, raw)
            out = publish("stats", "--raw", "--csv", log).stdout
            rows = {(r["package"], r["measure"], r["detail"]): int(r["count"])
                    for r in csv.DictReader(io.StringIO(out))}
            self.assertEqual(rows[(P1, "copies_started", "")], 3, out)
            self.assertEqual(rows[(P1, "client_reports", "mid-A")], 3, out)
            self.assertEqual(rows[(P1, "downloads_started", "")], 3, out)
            self.assertEqual(rows[(P1, "companion_offers", "")], 1, out)
            self.assertEqual(rows[(P1, "downloads_completed", LIST)], 2, out)
            self.assertEqual(rows[(P2, "copies_started", "")], 1, out)
            self.assertEqual(rows[(P2, "downloads_started", "")], 1, out)
            self.assertNotIn((P2, "downloads_completed", LIST), rows, out)
            # The same log through the statistics database, by day and version.
            out = publish("stats", "--csv", log).stdout
            by_package = {r["package"]: r for r in csv.DictReader(io.StringIO(out))}
            self.assertEqual(by_package[P1]["downloads_started"], "3", out)
            self.assertEqual(by_package[P1]["downloads_completed"], "2", out)
            self.assertEqual(by_package[P2]["copies_started"], "1", out)
        finally:
            if sender:
                sender.terminate()
                sender.wait(timeout=60)
            server.stop()
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

"""The README's main job runs headless: the package is published and checked, the program
runs against it from its first window to the installer, and every screenshot the demo
announces exists."""

import os
import re
import subprocess
import sys
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))


class DemoTest(unittest.TestCase):
    def test_demo_runs_headless(self):
        env = dict(os.environ)
        env.update(VEXA_DEMO_SKIP_BUILD="1", VEXA_DEMO_HEADLESS="1",
                   VEXA_DEMO_STAGE_SECONDS="10")
        result = subprocess.run(["bash", os.path.join(ROOT, "scripts", "demo.sh")], env=env,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=540)
        out = result.stdout + result.stderr
        self.assertEqual(result.returncode, 0, out)
        # The document, three files with a seed copy and a torrent each, the companion, the
        # skin, GameStart and the companion's signature.
        self.assertIn("PASSED: 14 item(s)", out)
        shots = re.findall(r"^\[demo\] stage [\w-]+: (\S+\.png)$", out, re.M)
        self.assertTrue(shots, out)
        for shot in shots:
            self.assertTrue(os.path.getsize(shot) > 0, shot)
        # The whole job: the download window, the download, the install prompt, the installer.
        for stage in ("03-download-window", "04-downloading", "05-verified-install-prompt",
                      "06-installer-started"):
            self.assertIn("stage %s:" % stage, out)
        self.assertIn("line(s),", out)  # the statistics summary
        # Two engine copies, one swarm. The second copy's origin lets four requests through
        # at once at 64 KiB/s each (and each one's first 64 KiB at once), about 0.3 MiB/s in
        # all: three quarters of the file from it take over a minute, while the first copy,
        # serving on loopback, carries the whole file in seconds (8 to 13 here beside a CPU
        # load).
        shared = re.search(r"^\[demo\] the second copy took (\d+) of (\d+) bytes", out, re.M)
        self.assertTrue(shared, out)
        self.assertGreaterEqual(int(shared.group(1)), 0.25 * int(shared.group(2)), out)
        print(shared.group(0))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

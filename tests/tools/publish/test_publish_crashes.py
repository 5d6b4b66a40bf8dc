"""`vexa_publish crashes` reads dumps that the crash handler writes (the crash tests' child
program under Wine), laid out as the uploader stores them, with the symbols the build keeps
beside the program: the exception, and our functions and lines on the faulting thread."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from publish_site import publish

CHILD = os.environ.get("VEXA_CRASH_CHILD", "")
PACKAGE = "{5B8D2E41-7C3A-4F19-9E62-A0B1C2D3E4F5}"
VERSION = "1.1.0.1011"


def make_dump(work, mode):
    """Runs the child in a folder of its own; returns the dump it wrote."""
    folder = os.path.join(work, mode)
    os.makedirs(folder)
    shutil.copy(CHILD, folder)
    with tempfile.TemporaryFile() as out:  # not a pipe: see tests/e2e/harness.py
        subprocess.run(["wine", os.path.join(folder, os.path.basename(CHILD)), mode],
                       stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=300)
    dumps = os.path.join(folder, "dump")
    names = sorted(os.listdir(dumps)) if os.path.isdir(dumps) else []
    if not names:
        raise AssertionError("no dump from " + mode)
    return os.path.join(dumps, names[0])


class CrashesTest(unittest.TestCase):
    def test_dumps_read_with_our_function_names_and_lines(self):
        root = os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir())
        os.makedirs(root, exist_ok=True)
        work = tempfile.mkdtemp(prefix="publish-crashes-", dir=root)
        try:
            uploads = os.path.join(work, "uploads", PACKAGE, VERSION)
            os.makedirs(uploads)
            for n, mode in enumerate(["access-violation", "worker-thread"]):
                shutil.copy(make_dump(work, mode), os.path.join(
                    uploads, "client-%d_20261208T10%02d00Z_000.dmp" % (n, n)))
            # A file that is not in the uploader's layout is not listed.
            open(os.path.join(uploads, "notes.txt"), "w").close()
            symbols = os.path.join(work, "symbols", VERSION)
            os.makedirs(symbols)
            for suffix in ("", ".debug"):
                shutil.copy(CHILD + suffix, symbols)

            listed = publish("crashes", "--dumps", os.path.join(work, "uploads")).stdout
            self.assertIn("2 dump(s)", listed)
            self.assertIn("client-1", listed)
            self.assertIn("2026-12-08 10:01:00", listed)

            out = publish("crashes", "--dumps", os.path.join(work, "uploads"), "--symbols",
                          os.path.join(work, "symbols")).stdout
            self.assertEqual(out.count("exception 0xc0000005 (access violation)"), 2, out)
            blocks = out.split("client-1_")
            self.assertIn("CrashChild.cpp:", blocks[0], out)
            self.assertIn("wmain", blocks[0], out)
            self.assertIn("WorkerThread", blocks[1], out)
            self.assertIn("CrashChild.cpp:", blocks[1], out)
            # Without the version's symbols the dump is listed but not read.
            shutil.rmtree(symbols)
            result = publish("crashes", "--dumps", os.path.join(work, "uploads"), "--symbols",
                             os.path.join(work, "symbols"), check=False)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("no program kept for version " + VERSION, result.stdout)
        finally:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

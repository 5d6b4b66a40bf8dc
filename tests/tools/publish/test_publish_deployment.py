"""A staged deployment passes `vexa_publish check`, and each planted fault is reported on
the row it concerns (and only there), with a failing exit code."""

import os
import shutil
import sys
import tempfile
import unittest

from publish_site import check_rows, publish, stage_and_serve, write_pattern, write_png

PACKAGE = "{6A1F0C52-9B7E-4D3A-8C21-0F5E2B7D9A14}"
WINDOW = 52428800


class DeploymentCheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        root = os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir())
        os.makedirs(root, exist_ok=True)
        cls.work = tempfile.mkdtemp(prefix="publish-check-", dir=root)
        files = os.path.join(cls.work, "files")
        os.makedirs(files)
        cls.small = os.path.join(files, "setup.exe")
        cls.large = os.path.join(files, "数据.bin")  # larger than the fingerprint window
        cls.skin = os.path.join(files, "skin.png")
        cls.companion = os.path.join(files, "QuilletSetup.exe")
        write_pattern(cls.small, 3 * 1024 * 1024 + 17, 1)
        write_pattern(cls.large, WINDOW + 1024 * 1024 + 5, 2)
        write_png(cls.skin)
        write_pattern(cls.companion, 4096, 3)
        cls.files = [cls.small, cls.large, cls.skin, cls.companion]

        def author(port):
            base = "http://127.0.0.1:%d" % port
            doc = os.path.join(cls.work, "doc.html")
            publish("author", "--out", doc, "--base-url", base + "/games/demo",
                    "--game-name", "检查 Check", "--new-version", "1.1.0.1011",
                    "--game-start", "setup.exe", "--seed", base + "/seed",
                    "--skin-link", base + "/skin/skin.png",
                    "--companion-link", base + "/quillet/QuilletSetup.exe",
                    cls.small, cls.large)
            cls.doc = doc
            return doc

        cls.server, cls.port = stage_and_serve(cls.work, PACKAGE, author, cls.files)
        cls.www = os.path.join(cls.work, "www")

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def tearDown(self):
        # Back to the correct deployment for the next case.
        publish("stage", "--root", self.www, "--conf", os.path.join(self.work, "conf"),
                "--listen", "127.0.0.1:%d" % self.port, "--package",
                "%s=%s" % (PACKAGE, self.doc), *self.files)

    def check(self):
        result = publish("check", "--server", "127.0.0.1:%d" % self.port, PACKAGE, check=False)
        return result.returncode, check_rows(result.stdout), result.stdout

    def expect_only(self, item, words):
        code, rows, text = self.check()
        self.assertNotEqual(code, 0, text)
        self.assertIn(item, rows, text)
        self.assertEqual(rows[item][0], "FAIL", text)
        self.assertIn(words, rows[item][1], text)
        failed = [name for name, (result, _) in rows.items() if result != "ok"]
        self.assertEqual(failed, [item], text)

    def replace(self, url_path, data):
        """Puts other bytes at a staged path (the staged file is a link to the original)."""
        path = os.path.join(self.www, url_path.lstrip("/"))
        os.remove(path)
        with open(path, "wb") as f:
            f.write(data)

    def test_correct_deployment_passes_fetching_only_the_tails(self):
        code, rows, text = self.check()
        self.assertEqual(code, 0, text)
        self.assertEqual(sorted(rows), sorted(["document", "file 1", "seed 1.1", "file 2",
                                               "seed 2.1", "companion", "skin"]), text)
        fetched = int(text.strip().splitlines()[-1].split(",")[1].split()[0])
        tails = 2 * (3 * 1024 * 1024 + 17) + 2 * WINDOW
        self.assertLess(fetched, tails + 64 * 1024, text)

    def test_wrong_size(self):
        with open(self.small, "rb") as f:
            self.replace("/games/demo/setup.exe", f.read() + b"x")
        self.expect_only("file 1", "size 3145746, listed 3145745")

    def test_wrong_content_in_the_tail(self):
        with open(self.large, "rb") as f:
            data = bytearray(f.read())
        data[-1] ^= 0xFF
        self.replace("/games/demo/数据.bin", bytes(data))
        self.expect_only("file 2", "fingerprint")

    def test_change_before_the_tail_is_not_seen(self):
        with open(self.large, "rb") as f:
            data = bytearray(f.read())
        data[10] ^= 0xFF
        self.replace("/games/demo/数据.bin", bytes(data))
        code, _, text = self.check()
        self.assertEqual(code, 0, text)

    def test_missing_file(self):
        os.remove(os.path.join(self.www, "seed", "setup.exe"))
        self.expect_only("seed 1.1", "missing (404)")

    def test_seed_of_another_size(self):
        with open(self.large, "rb") as f:
            self.replace("/seed/数据.bin", f.read()[:-100])
        self.expect_only("seed 2.1", "listed")

    def test_broken_skin_image(self):
        with open(self.skin, "rb") as f:
            self.replace("/skin/skin.png", f.read()[:-20])
        self.expect_only("skin", "does not decode")

    def test_document_that_reads_differently_elsewhere(self):
        with open(self.doc, "rb") as f:
            text = f.read().decode("utf-16")
        path = "/publish/tool/muldown/%s.html" % PACKAGE
        self.replace(path, b"\xef\xbb\xbf" + text.encode("utf-8"))
        self.expect_only("document", "byte-order mark")
        self.replace(path, text.encode("utf-8"))
        self.expect_only("document", "code page")

    def test_server_without_range(self):
        site = os.path.join(self.work, "conf", "vexa-site.conf")
        with open(site) as f:
            text = f.read()
        try:
            with open(site, "w") as f:
                f.write(text.replace("max_ranges 1;", "max_ranges 0;"))
            self.server.restart()
            code, rows, out = self.check()
            self.assertNotEqual(code, 0, out)
            for item in ("file 1", "seed 1.1", "file 2", "seed 2.1"):
                self.assertEqual(rows[item][0], "FAIL", out)
                self.assertIn("no Range support", rows[item][1], out)
        finally:
            with open(site, "w") as f:
                f.write(text)
            self.server.restart()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

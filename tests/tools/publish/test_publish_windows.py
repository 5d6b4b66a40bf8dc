"""The Windows console build of vexa_publish (under Wine) writes the same document as the
native build and checks a staged deployment the same way."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from publish_site import (check_rows, publish, stage_and_serve, stage_one_file, write_pattern,
                          write_png)

WINDOWS_PUBLISH = os.environ.get("VEXA_PUBLISH_EXE", "")
STAMP = os.environ.get("VEXA_STAMP", "")
PROGRAM = os.environ.get("VEXA_PROGRAM", "")
UPLOADER = os.environ.get("VEXA_UPLOADER", "")
PACKAGE = "{0D6B7A21-44C3-4E8F-9B1A-7C2E5F3D8A90}"


def run_windows(*args):
    with tempfile.TemporaryFile(mode="w+") as out:  # not a pipe: see tests/e2e/harness.py
        result = subprocess.run(["wine", WINDOWS_PUBLISH, *args], stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT, timeout=300)
        out.seek(0)
        return result.returncode, out.read().replace("\r\n", "\n")


class WindowsBuildTest(unittest.TestCase):
    def test_same_document_and_same_verdicts(self):
        root = os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir())
        os.makedirs(root, exist_ok=True)
        work = tempfile.mkdtemp(prefix="publish-windows-", dir=root)
        files = [os.path.join(work, "安装程序.exe"), os.path.join(work, "data.bin"),
                 os.path.join(work, "skin.png")]
        write_pattern(files[0], 2 * 1024 * 1024 + 3, 7)
        write_pattern(files[1], 100000, 8)
        write_png(files[2])
        options = []

        def author(port):
            base = "http://127.0.0.1:%d" % port
            options[:] = ["--base-url", base + "/游戏", "--game-name", "视窗 Windows",
                          "--new-version", "1.1.0.1011", "--game-start", "安装程序.exe",
                          "--seed", base + "/seed", "--skin-link", base + "/skin.png"]
            doc = os.path.join(work, "native.html")
            publish("author", "--out", doc, *options, files[0], files[1])
            return doc

        server, port = stage_and_serve(work, PACKAGE, author, files)
        try:
            code, out = run_windows("author", "--out", "Z:" + work + "/windows.html", *options,
                                    "Z:" + files[0], "Z:" + files[1])
            self.assertEqual(code, 0, out)
            with open(os.path.join(work, "native.html"), "rb") as a, \
                    open(os.path.join(work, "windows.html"), "rb") as b:
                self.assertEqual(a.read(), b.read())

            code, out = run_windows("check", "--server", "127.0.0.1:%d" % port, PACKAGE)
            self.assertEqual(code, 0, out)
            self.assertIn("PASSED: 7 item(s)", out)

            os.remove(os.path.join(work, "www", "seed", "data.bin"))
            code, out = run_windows("check", "--server", "127.0.0.1:%d" % port, PACKAGE)
            self.assertEqual(code, 1, out)
            rows = check_rows(out)
            self.assertEqual(rows["seed 2.1"], ("FAIL", "missing (404)"), out)
        finally:
            server.stop()
            shutil.rmtree(work, ignore_errors=True)

    def test_check_with_a_stamped_copy(self):
        """The copy's version against NewVersion, the uploader beside it, and the addresses
        its reports and dumps go to."""
        root = os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir())
        work = tempfile.mkdtemp(prefix="publish-copy-", dir=root)
        server, port, setup = stage_one_file(work, PACKAGE, "setup.exe", 100000, 9, "Copy",
                                             "1.1.0.1011")
        copies = os.path.join(work, "copy")
        os.makedirs(copies)

        def stamp(program, name, version):
            subprocess.run([STAMP, "--in", program, "--out", os.path.join(copies, name), "--id",
                            PACKAGE, "--config-server", "127.0.0.1:%d" % port,
                            "--stats-server", "127.0.0.1:%d" % port, "--version", version],
                           check=True, capture_output=True, timeout=120)

        def check():
            result = publish("check", "--copy", os.path.join(copies, "Game.exe"), check=False)
            return result.returncode, check_rows(result.stdout), result.stdout

        try:
            stamp(PROGRAM, "Game.exe", "1.1.0.1011")
            code, rows, out = check()
            self.assertEqual(rows["uploader"][0], "FAIL", out)
            self.assertIn("no Plorex.exe beside the copy", out)
            stamp(UPLOADER, "Plorex.exe", "1.1.0.1012")
            code, rows, out = check()
            self.assertIn("stamped %s 1.1.0.1012" % PACKAGE, out)
            stamp(UPLOADER, "Plorex.exe", "1.1.0.1011")
            code, rows, out = check()
            self.assertEqual(code, 0, out)
            for item in ("version", "uploader", "stats addr", "dump addr"):
                self.assertEqual(rows[item][0], "ok", out)
            # Nine characters against ten: every copy of this version is told it is too old.
            stamp(PROGRAM, "Game.exe", "1.1.0.999")
            stamp(UPLOADER, "Plorex.exe", "1.1.0.999")
            code, rows, out = check()
            self.assertEqual([name for name, row in rows.items() if row[0] != "ok"],
                             ["version"], out)
            self.assertIn("下载器版本过旧", out)
            # No location for dumps on the statistics server.
            site = os.path.join(work, "conf", "vexa-site.conf")
            with open(site) as f:
                text = f.read()
            with open(site, "w") as f:
                f.write(text.replace("location /crashdump/ {\n        return 404;",
                                     "location /crashdump/ {\n        return 404;\n    }\n"
                                     "    location /unused/ {").replace(
                                         "location ~ \"^/crashdump/", "location ~ \"^/unused/"))
            server.restart()
            code, rows, out = check()
            self.assertIn("404: no crash-dump location", out)
        finally:
            server.stop()
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

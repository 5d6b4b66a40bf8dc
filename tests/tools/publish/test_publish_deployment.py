"""A staged deployment passes `vexa_publish check`, and each planted fault is reported on
the row it concerns (and only there), with a failing exit code. The same package on the test
server shows that check takes what the engine takes (redirects, capped replies) and nothing
else; the staged crash-dump location keeps uploads bounded and out of sight."""

import http.client
import os
import shutil
import sys
import tempfile
import unittest

from fixture import Server
from publish_site import (check_rows, publish, sign_pe, stage_and_serve, write_pattern,
                          write_pe, write_png)

PACKAGE = "{6A1F0C52-9B7E-4D3A-8C21-0F5E2B7D9A14}"
ROUTED = "{0D3C5B7A-2E4F-4A6B-9C8D-1E2F3A4B5C6D}"  # the small file on the test server
WINDOW = 52428800
MAX_DUMP = 32 << 20


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
        write_pe(cls.companion, b"companion")
        sign_pe(cls.companion, cls.work)
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
        cls.faults = Server(root=cls.www)
        base = "http://%s" % cls.faults.host
        publish("author", "--out",
                os.path.join(cls.www, "publish", "tool", "muldown", ROUTED + ".html"),
                "--base-url", base + "/games/demo", "--game-name", "Routed",
                "--new-version", "1.1.0.1011", "--game-start", "setup.exe",
                "--seed", base + "/seed", cls.small)

    @classmethod
    def tearDownClass(cls):
        cls.faults.stop(keep_root=True)
        cls.server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def tearDown(self):
        self.faults.clear_faults()
        # Back to the correct deployment for the next case.
        publish("stage", "--root", self.www, "--conf", os.path.join(self.work, "conf"),
                "--listen", "127.0.0.1:%d" % self.port, "--package",
                "%s=%s" % (PACKAGE, self.doc), *self.files)

    def check(self, server=None, package=PACKAGE):
        result = publish("check", "--server", server or "127.0.0.1:%d" % self.port, package,
                         check=False)
        return result.returncode, check_rows(result.stdout), result.stdout

    def check_routed(self):
        return self.check(self.faults.host, ROUTED)

    def expect_only(self, item, words, routed=False):
        code, rows, text = self.check_routed() if routed else self.check()
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
                                               "seed 2.1", "companion", "skin", "gamestart",
                                               "signature"]), text)
        # A signer of our own: the signature verifies, its chain is named as unchecked.
        self.assertIn("does not reach Debian's CA list", text)
        fetched = int(text.strip().splitlines()[-1].split(",")[1].split()[0])
        tails = 2 * (3 * 1024 * 1024 + 17) + 2 * WINDOW
        self.assertLess(fetched, tails + 64 * 1024 + 8 * 1024, text)  # and the companion

    def test_staged_torrents_pass_and_a_torrent_of_other_data_fails_alone(self):
        torrents = [os.path.join(self.www, "games", "demo", name + ".torrent")
                    for name in ("setup.exe", "数据.bin")]
        try:
            publish("stage", "--root", self.www, "--conf", os.path.join(self.work, "conf"),
                    "--listen", "127.0.0.1:%d" % self.port, "--tracker",
                    "http://127.0.0.1:6969/announce", "--package",
                    "%s=%s" % (PACKAGE, self.doc), *self.files)
            code, rows, text = self.check()
            self.assertEqual(code, 0, text)
            self.assertEqual(rows.get("torrent 1"), ("ok", ""), text)
            self.assertEqual(rows.get("torrent 2"), ("ok", ""), text)
            # The last piece's hash no longer matches the file's last bytes.
            with open(torrents[0], "rb") as f:
                data = bytearray(f.read())
            key = data.index(b"6:pieces")
            colon = data.index(b":", key + 8)
            end = colon + 1 + int(data[key + 8:colon])
            data[end - 1] ^= 0xFF
            with open(torrents[0], "wb") as f:
                f.write(data)
            self.expect_only("torrent 1", "does not match its hash")
        finally:
            for path in torrents:
                if os.path.exists(path):
                    os.remove(path)

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

    def test_skin_of_another_size(self):
        other = os.path.join(self.work, "small.png")
        write_png(other, 4, 3)
        with open(other, "rb") as f:
            self.replace("/skin/skin.png", f.read())
        self.expect_only("skin", "4 x 3: the program takes only 680 x 420")

    def test_companion_unsigned_or_changed_after_signing(self):
        unsigned = os.path.join(self.work, "unsigned.exe")
        write_pe(unsigned, b"companion")
        with open(unsigned, "rb") as f:
            self.replace("/quillet/QuilletSetup.exe", f.read())
        self.expect_only("signature", "no Authenticode signature")
        with open(self.companion, "rb") as f:
            data = bytearray(f.read())
        data[0x210] ^= 0xFF  # inside the signed section
        self.replace("/quillet/QuilletSetup.exe", bytes(data))
        self.expect_only("signature", "changed after signing")

    def test_game_start_that_names_no_file(self):
        with open(self.doc, "rb") as f:
            text = f.read().decode("utf-16")
        self.assertIn("GameStart=setup.exe", text)
        self.replace("/publish/tool/muldown/%s.html" % PACKAGE,
                     text.replace("GameStart=setup.exe", "GameStart=Setup.exe.lnk")
                     .encode("utf-16"))
        self.expect_only("gamestart", "names no file of the package")

    def test_document_that_reads_differently_elsewhere(self):
        with open(self.doc, "rb") as f:
            text = f.read().decode("utf-16")
        path = "/publish/tool/muldown/%s.html" % PACKAGE
        self.replace(path, b"\xef\xbb\xbf" + text.encode("utf-8"))
        self.expect_only("document", "byte-order mark")
        self.replace(path, text.encode("utf-8"))
        self.expect_only("document", "code page")

    def test_server_without_range(self):
        """The engine reads a whole file from a link that ignores Range, in one stream, but
        drops a seed that does."""
        site = os.path.join(self.work, "conf", "vexa-site.conf")
        with open(site) as f:
            text = f.read()
        try:
            with open(site, "w") as f:
                f.write(text.replace("max_ranges 1;", "max_ranges 0;"))
            self.server.restart()
            code, rows, out = self.check()
            self.assertNotEqual(code, 0, out)
            for item in ("file 1", "file 2"):
                self.assertEqual(rows[item][0], "ok", out)
            for item in ("seed 1.1", "seed 2.1"):
                self.assertEqual(rows[item][0], "FAIL", out)
                self.assertIn("no Range support", rows[item][1], out)
        finally:
            with open(site, "w") as f:
                f.write(text)
            self.server.restart()

    def test_check_asks_as_the_engine_and_the_program_do(self):
        self.faults.control("/__log/clear")
        code, _, text = self.check_routed()
        self.assertEqual(code, 0, text)
        agents = {e["target"].split("?")[0]: e["headers"].get("User-Agent")
                  for e in self.faults.log()}
        self.assertEqual(agents["/publish/tool/muldown/%s.html" % ROUTED],
                         "Mozila/4.0 (compatible; MSIE 5.0; QUILLET)")
        self.assertEqual(agents["/games/demo/setup.exe"], "VexaP2SP/1.0")

    def test_capped_replies_pass(self):
        for prefix in ("/games/*", "/seed/*"):
            self.faults.fault(prefix, "cap", bytes=256 * 1024)
        code, rows, text = self.check_routed()
        self.assertEqual(code, 0, text)
        self.assertEqual([rows[i][0] for i in ("file 1", "seed 1.1")], ["ok", "ok"], text)
        self.assertEqual(text.count("206 cap"), 2, text)

    def test_redirected_link_passes_through_its_target(self):
        os.makedirs(os.path.join(self.www, "cdn"), exist_ok=True)
        shutil.copyfile(self.small, os.path.join(self.www, "cdn", "setup.exe"))
        self.faults.fault("/games/demo/setup.exe", "redirect", to="/cdn/setup.exe", code=302)
        code, rows, text = self.check_routed()
        self.assertEqual(code, 0, text)
        self.assertIn("> via http://%s/cdn/setup.exe" % self.faults.host, text)

    def test_redirect_to_nowhere_fails_naming_the_target(self):
        self.faults.fault("/games/demo/setup.exe", "redirect", to="/gone/setup.exe", code=301)
        self.expect_only("file 1", "missing (404) (redirect target", routed=True)
        self.faults.fault("/games/demo/setup.exe", "redirect", to="/games/demo/setup.exe")
        self.expect_only("file 1", "more than 10 redirects", routed=True)

    def test_whole_file_answers_pass_only_from_the_link(self):
        for path in ("/games/demo/setup.exe", "/seed/setup.exe"):
            self.faults.fault(path, "ignore-range")
        self.expect_only("seed 1.1", "no Range support (200)", routed=True)
        self.assertIn("no (200)", self.check_routed()[2])

    def put(self, path, body, length=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        try:
            connection.putrequest("PUT", path)
            connection.putheader("Content-Length", str(len(body) if length is None else length))
            connection.putheader("Content-Type", "application/octet-stream")
            connection.endheaders()
            connection.send(body)
            return connection.getresponse().status
        finally:
            connection.close()

    def get(self, path):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        try:
            connection.request("GET", path)
            answer = connection.getresponse()
            return answer.status, answer.read()
        finally:
            connection.close()

    def test_crash_dumps_are_bounded_and_never_served(self):
        folder = "/crashdump/%7B6A1F0C52%7D/1.1.0.1011/"
        dump = b"MDMP" + os.urandom(256 * 1024)
        self.assertIn(self.put(folder + "c_20261208T000000Z_000.dmp", dump), (201, 204))
        stored = os.path.join(self.work, "conf", "crashdumps", "{6A1F0C52}", "1.1.0.1011",
                              "c_20261208T000000Z_000.dmp")
        with open(stored, "rb") as f:
            self.assertEqual(f.read(), dump)
        status, body = self.get(folder + "c_20261208T000000Z_000.dmp")
        self.assertNotEqual(status, 200)
        self.assertNotIn(b"MDMP", body)
        # A body beyond the uploader's own bound is refused before it is read.
        self.assertEqual(self.put(folder + "c_20261208T000001Z_001.dmp", b"", MAX_DUMP + 1),
                         413)
        # Only dump names in the uploader's layout are stored.
        self.assertEqual(self.put("/crashdump/x.dmp", b"MDMP"), 404)
        self.assertEqual(self.put("/crashdump/a/b/c/d.html", b"MDMP"), 404)
        # A flood from one client is cut off after about one uploader run.
        answers = [self.put(folder + "c_20261208T000002Z_%03d.dmp" % n, b"MDMP")
                   for n in range(20)]
        self.assertIn(429, answers, answers)
        refused = answers.index(429)
        self.assertTrue(all(a in (201, 204) for a in answers[:refused]), answers)

    def test_dump_folder_inside_the_web_root_is_refused(self):
        result = publish("stage", "--root", self.www, "--conf", os.path.join(self.work, "conf"),
                         "--dumps", os.path.join(self.www, "games", "..", "dumps"),
                         "--listen", "127.0.0.1:%d" % self.port, "--package",
                         "%s=%s" % (PACKAGE, self.doc), *self.files, check=False)
        self.assertNotEqual(result.returncode, 0, result.stdout)
        self.assertIn("inside the web root", result.stderr)


# Groups of cases, one ctest test each so they run side by side (each stages its own site).
GROUPS = {
    "files": ["test_correct_deployment_passes_fetching_only_the_tails",
              "test_staged_torrents_pass_and_a_torrent_of_other_data_fails_alone",
              "test_wrong_size", "test_wrong_content_in_the_tail",
              "test_change_before_the_tail_is_not_seen", "test_missing_file",
              "test_seed_of_another_size"],
    "items": ["test_broken_skin_image", "test_skin_of_another_size",
              "test_companion_unsigned_or_changed_after_signing",
              "test_game_start_that_names_no_file",
              "test_document_that_reads_differently_elsewhere",
              "test_crash_dumps_are_bounded_and_never_served",
              "test_dump_folder_inside_the_web_root_is_refused"],
    "routes": ["test_server_without_range", "test_check_asks_as_the_engine_and_the_program_do",
               "test_capped_replies_pass", "test_redirected_link_passes_through_its_target",
               "test_redirect_to_nowhere_fails_naming_the_target",
               "test_whole_file_answers_pass_only_from_the_link"],
}

if __name__ == "__main__":
    names = GROUPS[sys.argv[1]] if len(sys.argv) > 1 else [n for g in GROUPS.values() for n in g]
    suite = unittest.TestSuite(DeploymentCheckTest(name) for name in names)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)

"""Signed packages end to end: releases made and staged with vexa_publish (keygen, author
--sign, stage), served by nginx, and stamped copies of the program under Wine with and
without publisher keys. Run one group: test_signed_packages.py GROUP (install, refuse, swap).
"""

import os
import re
import shutil
import tempfile
import unittest

import dlwindow_ids as ids
import fixture as f
import harness as h
from publish_site import check_rows, publish, stage_and_serve

REFUSED = "release refused: "


class Release:
    """A package of one file (the stand-in installer, so an install shows that it ran) with
    keys, signed releases of it and an nginx serving the one staged last."""

    def __init__(self, test):
        self.work = tempfile.mkdtemp(prefix="signed-", dir=h.scratch_dir("signed"))
        self.id = h.new_package_id()
        self.name = "setup_%s.exe" % self.id.strip("{}")[:8]
        self.file = os.path.join(self.work, self.name)
        shutil.copyfile(h.STAND_IN_INSTALLER, self.file)
        self.keys = {}
        for who in ("publisher", "next", "stranger"):
            secret = os.path.join(self.work, who + ".key")
            publish("keygen", "--out", secret)
            with open(secret + ".pub") as pub:
                self.keys[who] = (secret, pub.read().strip())
        self.nginx = None
        self.port = None
        test.addCleanup(self.stop)

    def public(self, who):
        return self.keys[who][1]

    def stage(self, serial, signer="publisher", game_name="Signed"):
        """Authors release `serial` signed by `signer` (None: unsigned) and stages it; the
        first call starts nginx, later ones restage under the same port."""
        def author(port):
            doc = os.path.join(self.work, "release%d.html" % serial)
            sign = ["--sign", self.keys[signer][0]] if signer else []
            publish("author", "--out", doc, "--base-url", "http://127.0.0.1:%d/g" % port,
                    "--game-name", game_name, "--new-version", "1.1.0.1011",
                    "--serial", serial, *sign, self.file)
            return doc
        if self.nginx is None:
            self.nginx, self.port = stage_and_serve(self.work, self.id, author, [self.file])
        else:
            publish("stage", "--root", self.www(), "--conf", os.path.join(self.work, "conf"),
                    "--listen", "127.0.0.1:%d" % self.port,
                    "--package", "%s=%s" % (self.id, author(self.port)), self.file)

    def www(self, path=""):
        return os.path.join(self.work, "www") + path

    def document_path(self):
        return self.www("/publish/tool/muldown/%s.html" % self.id)

    def replace_served(self, path, data):
        """The served bytes change; the staged sources (hard links) keep theirs."""
        os.remove(path)
        with open(path, "wb") as out:
            out.write(data)

    def host(self):
        return "127.0.0.1:%d" % self.port

    def check(self, who="publisher"):
        """The publisher's check of what nginx serves: its exit code and rows."""
        url = "http://%s/publish/tool/muldown/%s.html" % (self.host(), self.id)
        result = publish("check", "--publisher-key", self.public(who), url, check=False)
        return result.returncode, check_rows(result.stdout)

    def stop(self):
        if self.nginx:
            self.nginx.stop()


class SignedTest(unittest.TestCase):
    def setUp(self):
        self.folder = h.scratch_dir("signed_" + type(self).__name__)
        self.programs = []
        self.release = Release(self)

    def tearDown(self):
        for program in self.programs:
            program.stop()
        h.wait_windows(0, seconds=30)

    def start(self, name, keys=()):
        program = f.Program(self.folder, name, self.release.id, self.release.host(),
                            publisher_keys=[self.release.public(k) for k in keys])
        self.programs.append(program)
        return program

    def expect_refused(self, name, keys, reason):
        """The copy refuses the release at the hand-over with the download-failed prompt,
        never reaches the download window and ends when the prompt is answered."""
        program = self.start(name, keys)
        line = program.expect(self, REFUSED)
        self.assertEqual(line, REFUSED + reason)
        program.expect(self, "handover refused")
        seen = program.wait_windows(lambda w: len(w) == 1 and w[0][:2] == (404, 201))
        self.assertEqual([w[:2] for w in seen], [(404, 201)], seen)
        h.driver("send-command", h.MAIN_TITLE_PREFIX, 100)
        self.assertEqual(program.proc.wait(timeout=120), 0)
        self.assertEqual([l for l in program.lines() if l.startswith(("mode", "path"))], [])

    def reach_download_window(self, name, keys):
        program = self.start(name, keys)
        program.expect(self, "report finished 5")
        program.expect(self, "mode 0")
        return program

    def download(self, program):
        """Starts the download; the folder it goes to."""
        folder = f.to_unix(program.expect(self, "path ")[len("path "):])
        self.addCleanup(f.clean_download, folder, [self.release.name])
        self.assertTrue(program.command(ids.START))
        program.expect(self, "mode 2")
        return folder


class InstallTest(SignedTest):
    def test_signed_release_installs_with_either_key_and_unkeyed_copies_as_ever(self):
        release = self.release
        release.stage(5)
        code, rows = release.check()
        self.assertEqual(code, 0, rows)
        self.assertEqual(rows["signature"][0], "ok")
        self.assertEqual(rows["sha256 1"][0], "ok")
        self.assertEqual(release.check("stranger")[1]["signature"][0], "FAIL")
        program = self.reach_download_window("signed", ["publisher"])
        folder = self.download(program)
        program.expect(self, "verified", timeout=300)
        program.expect(self, "prompt ")
        self.assertEqual(h.wait_windows(1, "DownloadFinished"), 1, program.lines())
        self.assertEqual(h.driver("send-command", "DownloadFinished", 102).returncode, 0)
        self.assertTrue(program.expect(self, "install ").endswith(release.name))
        self.assertTrue(h.wait_until(lambda: os.path.exists(
            os.path.join(folder, release.name + ".ran"))), "the installer did not run")
        self.assertEqual(program.quit(), 0)
        f.clean_download(folder, [release.name])
        # A copy stamped during a key roll (the next key first) takes the same release, and a
        # copy without keys reads the signed document as it reads every other.
        for name, keys in (("rolling", ["next", "publisher"]), ("unkeyed", [])):
            other = self.reach_download_window(name, keys)
            self.assertFalse([l for l in other.lines() if l.startswith(REFUSED)])
            self.assertEqual(other.quit(), 0)


class RefuseTest(SignedTest):
    def test_altered_foreign_missing_and_replayed_releases_are_refused(self):
        release = self.release
        release.stage(7)
        # Taken once: serial 7 is now the highest this package's copies accepted.
        self.assertEqual(self.reach_download_window("first", ["publisher"]).quit(), 0)
        document = release.document_path()
        with open(document, "rb") as doc:
            original = doc.read()
        # One byte of the game's name changed (UTF-16: "S" of "Signed" becomes "T").
        altered = bytearray(original)
        altered[altered.index("Signed".encode("utf-16-le"))] += 1
        release.replace_served(document, bytes(altered))
        self.expect_refused("altered", ["publisher"], "signature not by a publisher key")
        # A signature of the untouched document by another key.
        release.stage(8, signer="stranger")
        self.expect_refused("foreign", ["publisher"], "signature not by a publisher key")
        release.stage(9, signer=None)
        self.expect_refused("unsigned", ["publisher"], "no signature")
        # An older release, signed and whole, replayed after a newer one was taken.
        release.stage(6)
        self.expect_refused("replayed", ["publisher"], "older release than one accepted before")
        # An unkeyed copy takes every one of them, as copies always did.
        self.assertEqual(self.reach_download_window("unkeyed", []).quit(), 0)


class SwapTest(SignedTest):
    def test_a_file_swapped_on_the_server_is_never_installed(self):
        release = self.release
        release.stage(3)
        served = release.www("/g/" + release.name)
        with open(served, "rb") as original:
            data = bytearray(original.read())
        data[100] ^= 0xFF  # size unchanged; the keyed copy goes by the signed SHA-256
        release.replace_served(served, bytes(data))
        code, rows = release.check()
        self.assertEqual((code, rows["sha256 1"][0], rows["signature"][0]), (1, "FAIL", "ok"), rows)
        program = self.reach_download_window("swapped", ["publisher"])
        folder = self.download(program)
        program.expect(self, "not as signed")
        program.expect(self, "prompt 下载失败")
        target = os.path.join(folder, release.name)
        self.assertFalse(os.path.exists(target), "the swapped file was kept")
        program.quit()
        self.assertFalse([l for l in program.lines() if l.startswith("install ")])
        # The swapped file with its MD5 text changed to match needs another document, and the
        # document is signed: refused before anything is fetched.
        document = release.document_path()
        with open(document, "rb") as doc:
            text = doc.read().decode("utf-16")
        md5 = re.search(r"GameMd5=([0-9a-f]{32})", text).group(1)
        swapped_md5 = f.md5_of(served)
        release.replace_served(document, text.replace(md5, swapped_md5).encode("utf-16"))
        self.expect_refused("swapped_md5", ["publisher"], "signature not by a publisher key")


GROUPS = {"install": InstallTest, "refuse": RefuseTest, "swap": SwapTest}

if __name__ == "__main__":
    h.run_group(GROUPS, "install")

"""Releases on a real nginx: a new release goes live while a copy is downloading the previous
one, which still finishes with the previous file, while a new copy gets the new one; a
rollback serves the previous document byte for byte; a refused stage leaves the live release
as it was."""

import hashlib
import http.client
import os
import shutil
import sys
import tempfile
import unittest

from publish_site import publish, stage_and_serve, write_pattern

PACKAGE = "{3C9E5A17-6B2D-4F80-A1C4-D7E8F9012B3A}"
SIZE = 6 * 1024 * 1024 + 11
PIECE = 1024 * 1024


def md5(data):
    return hashlib.md5(data).hexdigest()


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        root = os.environ.get("VEXA_ARTIFACTS", tempfile.gettempdir())
        os.makedirs(root, exist_ok=True)
        cls.work = tempfile.mkdtemp(prefix="publish-releases-", dir=root)
        cls.www = os.path.join(cls.work, "www")
        cls.conf = os.path.join(cls.work, "conf")
        cls.files = {}
        for release, seed in (("r1", 1), ("r2", 2)):
            folder = os.path.join(cls.work, release)
            os.makedirs(folder)
            cls.files[release] = os.path.join(folder, "setup.exe")
            write_pattern(cls.files[release], SIZE, seed)

        def author(port):
            cls.port = port
            return cls.author("r1")

        cls.server, cls.port = stage_and_serve(cls.work, PACKAGE, author, [cls.files["r1"]])

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def author(cls, release, file=None, name=None):
        doc = os.path.join(cls.work, name or (release + ".html"))
        publish("author", "--out", doc, "--base-url",
                "http://127.0.0.1:%d/games/demo/%s" % (cls.port, release), "--game-name", "发布",
                "--new-version", "1.1.0.1011", file or cls.files[release])
        return doc

    def stage(self, doc, *files, check=True):
        return publish("stage", "--root", self.www, "--conf", self.conf, "--listen",
                       "127.0.0.1:%d" % self.port, "--package", "%s=%s" % (PACKAGE, doc),
                       *files, check=check)

    def connect(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)

    def get(self, path, headers=None):
        connection = self.connect()
        try:
            connection.request("GET", path, headers=headers or {})
            answer = connection.getresponse()
            return answer.status, answer.read()
        finally:
            connection.close()

    def document(self):
        status, body = self.get("/publish/tool/muldown/%s.html" % PACKAGE)
        self.assertEqual(status, 200)
        return body

    def link_path(self, document):
        for line in document.decode("utf-16").splitlines():
            if line.startswith("GameDownloadLink="):
                return line.split("=", 1)[1].split("127.0.0.1:%d" % self.port, 1)[1]
        self.fail("no link in the document")

    def live_release(self):
        rows = publish("releases", "--root", self.www, PACKAGE).stdout.splitlines()
        return [row.split()[1] for row in rows if row.startswith("*")]

    def test_1_release_goes_live_while_a_download_of_the_previous_runs(self):
        first = self.link_path(self.document())
        # A copy that started on r1: a whole-file stream and range requests, as the engine asks.
        stream = self.connect()
        stream.request("GET", first)
        answer = stream.getresponse()
        head = answer.read(PIECE)
        _, piece = self.get(first, {"Range": "bytes=%d-%d" % (PIECE, 2 * PIECE - 1)})

        self.stage(self.author("r2"), self.files["r2"])
        self.assertEqual(self.live_release(), [self.release_names()[-1]])

        # The running copy finishes on the release it started on.
        rest = answer.read()
        stream.close()
        with open(self.files["r1"], "rb") as f:
            r1 = f.read()
        self.assertEqual(md5(head + rest), md5(r1))
        status, tail = self.get(first, {"Range": "bytes=%d-" % (2 * PIECE)})
        self.assertEqual(status, 206)
        self.assertEqual(md5(head + piece + tail), md5(r1))
        # A new copy reads the new document and gets the new file.
        second = self.link_path(self.document())
        self.assertNotEqual(first, second)
        with open(self.files["r2"], "rb") as f:
            self.assertEqual(md5(self.get(second)[1]), md5(f.read()))

    def release_names(self):
        rows = publish("releases", "--root", self.www, PACKAGE).stdout.splitlines()[1:]
        return [row[5:].split()[0] for row in rows if row[:5].strip() in ("", "*")]

    def test_2_rollback_serves_the_previous_document_byte_for_byte(self):
        names = self.release_names()
        self.assertGreaterEqual(len(names), 2)
        before = self.document()
        publish("rollback", "--root", self.www, PACKAGE)
        with open(os.path.join(self.work, "r1.html"), "rb") as f:
            self.assertEqual(self.document(), f.read())
        self.assertEqual(self.live_release(), [names[-2]])
        with open(self.files["r1"], "rb") as f:
            self.assertEqual(md5(self.get(self.link_path(self.document()))[1]), md5(f.read()))
        publish("rollback", "--root", self.www, "--to", names[-1], PACKAGE)
        self.assertEqual(self.document(), before)

    def assert_refused_and_untouched(self, result, words):
        self.assertNotEqual(result.returncode, 0, result.stdout)
        self.assertIn(words, result.stderr)
        self.assertEqual(self.document(), self.live_before)
        self.assertEqual(self.release_names(), self.names_before)
        leftovers = [n for n in os.listdir(os.path.join(self.www, ".releases", PACKAGE))
                     if n not in self.names_before]
        self.assertEqual(leftovers, [])

    def test_3_refused_stages_leave_the_live_release_untouched(self):
        self.live_before = self.document()
        self.names_before = self.release_names()
        doc = self.author("r3", self.files["r2"])
        # A listed file that is not given.
        self.assert_refused_and_untouched(self.stage(doc, check=False), "no file given")
        # A file of another size than the document lists.
        other = os.path.join(self.work, "r3", "setup.exe")
        os.makedirs(os.path.dirname(other), exist_ok=True)
        write_pattern(other, SIZE + 1, 3)
        self.assert_refused_and_untouched(self.stage(doc, other, check=False),
                                          "is not the file the document lists")
        # Other bytes at an address a kept release serves: a running download would mix them.
        reused = self.author("r1", other, "reused.html")
        self.assert_refused_and_untouched(self.stage(reused, other, check=False),
                                          "already serves other bytes")
        self.assertEqual(self.get("/.releases/%s/" % PACKAGE)[0], 404)

    def test_4_prune_keeps_the_live_release_and_what_it_names(self):
        publish("rollback", "--root", self.www, "--to", self.release_names()[0], PACKAGE)
        live = self.document()
        publish("prune", "--root", self.www, "--keep", "0", PACKAGE)
        self.assertEqual(self.release_names(), self.live_release())
        self.assertEqual(self.document(), live)
        self.assertEqual(self.get(self.link_path(live))[0], 200)
        self.assertEqual(self.get("/games/demo/r2/setup.exe")[0], 404)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

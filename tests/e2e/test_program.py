"""The whole program, stamped, under Wine and Xvfb against the local test server: the
initialising window, its hand-over to the download window or to a prompt, and a download to
the installer. Run one group: test_program.py GROUP (start, failure, hostile, install, resume,
close)."""

import os
import subprocess
import time
import unittest

import dlwindow_ids as ids
import fixture as f
import harness as h

PROGRESS_PREFIX = "report progress "


class ProgramTest(unittest.TestCase):
    def setUp(self):
        # A folder per group: groups may run at once, each on a desktop of its own.
        self.folder = h.scratch_dir("program_" + type(self).__name__)
        self.programs = []
        self.servers = []

    def tearDown(self):
        for program in self.programs:
            program.stop()
        for server in self.servers:
            server.stop()
        h.wait_windows(0, seconds=30)

    def server(self, **kwargs):
        server = f.Server(**kwargs)
        self.servers.append(server)
        return server

    def start(self, name, package_id, server_host, env=None):
        program = f.Program(self.folder, name, package_id, server_host, env=env)
        self.programs.append(program)
        return program

    def download_window(self, program):
        """Waits for the download window alone on the screen; returns its title."""
        seen = program.wait_windows(lambda w: [x[2] for x in w] == [program.id])
        self.assertEqual([x[2] for x in seen], [program.id], seen)
        return seen[0][3]

    def only_prompt(self, program):
        seen = program.wait_windows(lambda w: len(w) == 1 and w[0][:2] == (404, 201))
        self.assertEqual(len(seen), 1, seen)
        self.assertEqual(seen[0][:2], (404, 201), seen)
        return seen[0]


class StartTest(ProgramTest):
    def test_fresh_start_runs_from_the_initialising_window_to_the_download_window(self):
        server = self.server()
        package_id = h.new_package_id()
        skin = f.png(680, 420, noise=True)
        f.publish(server, package_id, [("game.bin", os.urandom(200000))], skin=skin)
        # The skin image comes slowly (about ten seconds), so the initialising window stays
        # long enough to be seen with its bar past the document's share.
        server.fault("/skin/%s.png" % package_id.strip("{}"), "slow", rate=len(skin) // 10)
        program = self.start("fresh", package_id, server.host)
        line = program.expect(self, PROGRESS_PREFIX + "2")
        self.assertGreaterEqual(int(line.split()[-1]), 20)
        seen = program.wait_windows(lambda w: len(w) == 1)
        self.assertEqual([x[:2] for x in seen], [(404, 201)], seen)
        self.assertEqual(seen[0][3], "VexaYoral下载器-专版")  # the game is not known yet
        program.screenshot("initialising_mid_progress")

        # Enter and Escape, typed and posted, do nothing to the initialising window.
        for key in (13, 27):
            h.driver("post-key", h.MAIN_TITLE_PREFIX, key)

        program.expect(self, "report finished 5")
        # However fast the fetch, the bar runs up to 98 before the window hands over.
        program.expect(self, "race ended at 98")
        handover = program.expect(self, "handover download ")
        self.assertTrue(handover.endswith(package_id + ".png"), handover)
        program.expect(self, "background downloaded")
        program.expect(self, "mode 0")
        self.assertEqual(self.download_window(program), "VexaYoral下载器-Starfall专版")
        self.assertNotIn("main window closed", program.lines())
        program.screenshot("download_window_downloaded_background")
        # The progress reports of the document and the skin image only climb up to 40.
        percents = [int(l.split()[-1]) for l in program.lines() if l.startswith(PROGRESS_PREFIX)]
        self.assertTrue(percents and max(percents) <= 40, percents)

        # Typed on the keyboard and posted to the window: neither reaches it.
        subprocess.run(["xdotool", "key", "Return", "Escape"], check=False)
        before = len(program.lines())
        for key in (13, 27):
            posted = h.driver_on_window("post-key", h.MAIN_TITLE_PREFIX, key)
            self.assertEqual(posted.returncode, 0, posted.describe())
        self.assertEqual(self.download_window(program), "VexaYoral下载器-Starfall专版")
        # The quit command is handled after the keys (posted in order).
        self.assertEqual(program.quit(), 0, program.proc.describe())
        changes = [l for l in program.lines()[before:] if l.startswith(("mode", "prompt", "path"))]
        self.assertEqual(changes, [], "Enter or Escape changed something")

    def test_a_skin_image_of_another_size_or_broken_gives_the_built_in_background(self):
        server = self.server()
        for name, skin in (("smallskin", f.png(100, 60)), ("brokenskin", f.png(680, 420)[:300])):
            package_id = h.new_package_id()
            f.publish(server, package_id, [("game.bin", b"x" * 1000)], skin=skin)
            program = self.start(name, package_id, server.host)
            program.expect(self, "report finished 5")
            program.expect(self, "background built-in")
            self.download_window(program)
            program.screenshot("download_window_built_in_background_" + name)
            self.assertEqual(program.quit(), 0)

    def test_two_starts_leave_one_desktop_shortcut(self):
        server = self.server()
        package_id = h.new_package_id()
        f.publish(server, package_id, [("game.bin", b"y" * 1000)])
        desktop = f.desktop_folder()
        os.makedirs(desktop, exist_ok=True)
        shortcut = os.path.join(desktop, "twostarts.lnk")
        with open(shortcut, "wb") as stale:
            stale.write(b"not a shortcut")  # left by an earlier copy somewhere else
        for run in range(2):
            program = self.start("twostarts", package_id, server.host)
            program.expect(self, "mode 0")
            self.assertEqual(program.quit(), 0)
            mine = sorted(n for n in os.listdir(desktop) if n.startswith("twostarts"))
            self.assertEqual(mine, ["twostarts.lnk"], "after start %d" % (run + 1))
            with open(shortcut, "rb") as link:
                content = link.read()
            self.assertTrue(content.startswith(b"L\x00\x00\x00"), content[:16])
            self.assertIn("twostarts.exe".encode("utf-16-le"), content)
        os.remove(shortcut)


class FailureTest(ProgramTest):
    def test_server_down_gives_the_initialisation_failed_prompt_and_retry_works(self):
        server = self.server()
        package_id = h.new_package_id()
        f.publish(server, package_id, [("game.bin", b"z" * 5000)])
        port, root = server.port, server.root
        server.stop(keep_root=True)
        self.servers.remove(server)

        program = self.start("serverdown", package_id, "127.0.0.1:%d" % port)
        program.expect(self, "report finished 0")
        program.expect(self, "handover initial-failed")
        prompt = self.only_prompt(program)
        self.assertEqual(prompt[3], "VexaYoral下载器-专版")
        program.screenshot("initialisation_failed_prompt")

        self.server(root=root, port=port)  # the server comes back
        retried = h.driver("send-command", h.MAIN_TITLE_PREFIX, 102)  # "重试"
        self.assertEqual(retried.returncode, 0, retried.describe())
        program.expect(self, "main window")
        program.expect(self, "report finished 5")
        program.expect(self, "handover download built-in")
        program.expect(self, "mode 0")
        self.download_window(program)
        program.screenshot("download_window_after_retry")
        self.assertEqual(program.quit(), 0)

    def test_a_newer_downloader_announced_gives_the_older_version_prompt(self):
        server = self.server()
        # Same length and a later prefix; then another length, whatever its numbers say.
        for name, announced in (("newer", "1.2.0.1011"), ("shorter", "1.0.0.1")):
            package_id = h.new_package_id()
            f.publish(server, package_id, [("game.bin", b"v" * 5000)], new_version=announced)
            program = self.start(name, package_id, server.host)
            program.expect(self, "report finished 5")
            program.expect(self, "handover older-version")
            prompt = self.only_prompt(program)
            self.assertEqual(prompt[3], "VexaYoral下载器-Starfall专版")
            program.screenshot("older_version_prompt_" + name)
            # Its close box ends the program.
            h.driver("send-command", h.MAIN_TITLE_PREFIX, 100)
            self.assertEqual(program.proc.wait(timeout=120), 0)
            self.assertIsNone(program.wait_for("mode", timeout=0))


class HostileTest(ProgramTest):
    def test_markup_in_the_game_name_is_shown_as_text(self):
        server = self.server()
        package_id = h.new_package_id()
        name = "{&#color=0xff0000}Evil{&#a=button:13}"
        f.publish(server, package_id, [("game.bin", b"m" * 5000)], game_name=name)
        program = self.start("markupname", package_id, server.host)
        program.expect(self, "mode 0")
        self.assertEqual(self.download_window(program), "VexaYoral下载器-%s专版" % name)
        program.screenshot("download_window_markup_game_name")
        self.assertEqual(program.quit(), 0)

    def test_a_file_name_that_leaves_the_folder_refuses_the_package(self):
        server = self.server()
        for index, names in enumerate((["..\\evil.exe"], ["game.bin", "..\\..\\evil2.exe"])):
            package_id = h.new_package_id()
            files = [(n.replace("\\", "_"), b"e" * 3000) for n in names]
            links = [server.url("/files/") + n for n in names]
            f.publish(server, package_id, files, links=links)
            program = self.start("hostile%d" % index, package_id, server.host)
            program.expect(self, "report finished 5")
            program.expect(self, "package refused")
            # Retrying cannot help: the download-failed prompt, not "check the network".
            program.expect(self, "handover refused")
            self.only_prompt(program)
            program.screenshot("hostile_link_refused_%d" % index)
            h.driver("send-command", h.MAIN_TITLE_PREFIX, 100)
            self.assertEqual(program.proc.wait(timeout=120), 0)
            self.assertEqual([l for l in program.lines() if l.startswith(("mode", "path"))], [])
        for root in (os.path.join(os.environ["WINEPREFIX"], "drive_c"), "/"):
            for folder in (root, os.path.join(root, "Vexadownloads")):
                for bad in ("evil.exe", "evil2.exe"):
                    self.assertFalse(os.path.exists(os.path.join(folder, bad)))


class InstallTest(ProgramTest):
    def test_download_to_the_install_prompt_and_install_starts_the_installer(self):
        with open(h.STAND_IN_INSTALLER, "rb") as installer:
            data = installer.read()
        server = self.server()
        package_id = h.new_package_id()
        name = "setup_%s.exe" % package_id.strip("{}")[:8]
        f.publish(server, package_id, [(name, data)])
        program = self.start("install", package_id, server.host)
        program.expect(self, "mode 0")
        self.download_window(program)
        folder = f.to_unix(program.expect(self, "path ")[len("path "):])
        try:
            self.assertTrue(program.command(ids.START))
            program.expect(self, "mode 2")
            program.expect(self, "verified", timeout=300)
            program.expect(self, "prompt ")
            self.assertEqual(h.wait_windows(1, "DownloadFinished"), 1, program.lines())
            program.screenshot("install_prompt")
            answered = h.driver("send-command", "DownloadFinished", 102)  # "立即安装"
            self.assertEqual(answered.returncode, 0, answered.describe())
            started = program.expect(self, "install ")
            self.assertTrue(started.endswith(name), started)
            marker = os.path.join(folder, name + ".ran")
            self.assertTrue(h.wait_until(lambda: os.path.exists(marker)), "the installer did not run")
            with open(os.path.join(folder, name), "rb") as downloaded:
                self.assertEqual(downloaded.read(), data)
            self.assertEqual(program.quit(), 0)
        finally:
            f.clean_download(folder, [name])


class ResumeTest(ProgramTest):
    def test_kill_9_during_a_download_then_a_second_start_resumes_and_finishes(self):
        server = self.server()
        package_id = h.new_package_id()
        name = "big_%s.bin" % package_id.strip("{}")[:8]
        data = os.urandom(16 * 1048576 + 4321)
        _, _, md5 = f.publish(server, package_id, [(name, data)])[0]
        server.fault("/files/" + name, "slow", rate=400000)
        first = self.start("resume", package_id, server.host)
        first.expect(self, "mode 0")
        folder = f.to_unix(first.expect(self, "path ")[len("path "):])
        try:
            self.assertTrue(first.command(ids.START))
            first.expect(self, "mode 2")
            record = os.path.join(folder, name + ".P2P.rec")
            h.wait_until(lambda: f.record_done(record) >= 2 * 1048576, 180)
            first.kill()  # kill -9 of the whole program
            kept = f.record_done(record)
            self.assertGreaterEqual(kept, 2 * 1048576)
            self.assertLess(kept, len(data))
            server.clear_faults()

            second = self.start("resume", package_id, server.host)
            second.expect(self, "handover download")
            self.assertEqual(second.expect(self, "restored "), "restored 1 0")
            second.expect(self, "mode 1")
            self.download_window(second)
            second.screenshot("restored_partial_after_kill")
            self.assertTrue(second.command(ids.RESUME))
            second.expect(self, "mode 2")
            second.expect(self, "verified", timeout=300)
            self.assertEqual(h.wait_windows(1, "DownloadFinished"), 1, second.lines())
            h.driver("send-command", "DownloadFinished", 100)  # not now
            second.expect(self, "report statLogMuldownMd5")
            self.assertEqual(f.md5_of(os.path.join(folder, name)), md5)
            refetched = server.bytes_sent("/files/" + name) - len(data)
            print("kept %d of %d bytes at the kill; fetched again %d bytes"
                  % (kept, len(data), refetched), flush=True)
            self.assertLess(refetched, len(data) // 4)
            self.assertEqual(second.quit(), 0)
        finally:
            f.clean_download(folder, [name])


class CloseTest(ProgramTest):
    """Closing the initialising window while its configuration is still being fetched ends the
    program at once and cleanly: the fetch is cancelled, its thread ended (or the process
    ended without tearing down what that thread uses), exit code 0, no crash."""

    ROUNDS = 5

    def close_mid_fetch(self, name, server, package_id, fetching):
        """Starts a copy, closes its initialising window (its close button's command) as soon
        as `fetching()` is true, and checks how the program ends."""
        signal = os.path.join(self.folder, name + ".close")
        if os.path.exists(signal):
            os.remove(signal)
        # Started ahead: the close must land while the fetch runs, not one Wine start later
        # (a held answer ends at the client's receive time-out of 5 s).
        closer = h.start(h.TESTDRIVER, "send-command-on-file", h.MAIN_TITLE_PREFIX, "0",
                         h.windows_path(signal), "300", capture=True)
        try:
            self.assertEqual(closer.readline().strip(), "ready", closer.describe())
            program = self.start(name, package_id, server.host)
            self.assertTrue(h.wait_until(fetching),
                            "the document was not asked for\n" + program.proc.describe())
            open(signal, "w").close()
            closed = time.monotonic()
            self.assertEqual(closer.wait(timeout=180), 0, closer.describe())
        finally:
            h.stop(closer)
        try:
            code = program.proc.wait(timeout=120)
        except subprocess.TimeoutExpired:
            self.fail("the program still runs 120 s after its close\n" + program.proc.describe())
        took = time.monotonic() - closed
        lines = program.lines()
        print("%s: ended %.2f s after the close (%s)" % (
            name, took, ", ".join(l for l in lines if l.startswith(("configuration", "process")))),
            flush=True)
        self.assertEqual(code, 0, program.proc.describe())
        self.assertIn("main window closed", lines)
        # The close came while the fetch ran (no result reported before it), and nothing
        # was handed over after it.
        before = lines[:lines.index("main window closed")]
        self.assertEqual([l for l in before if l.startswith("report finished")], [], lines)
        self.assertEqual([l for l in lines if l.startswith(("race", "handover"))], [], lines)
        # The close's cancel may end the thread while the window goes, or the end of the loop
        # stops it, or it still waits in a call that only its time-out ends.
        self.assertTrue({"configuration thread had ended", "configuration thread stopped",
                         "configuration thread still running"} & set(lines), lines)
        self.assertLess(took, 30)  # the document alone would take minutes
        dumps = os.path.join(self.folder, "dump")
        self.assertEqual([n for n in os.listdir(dumps) if n.startswith(name)]
                         if os.path.isdir(dumps) else [], [])
        self.assertEqual(h.wait_windows(0, seconds=60), 0)

    def close_in_rounds(self, kind, serve, fetching):
        """ROUNDS copies, each closed mid-fetch; `serve(server, path)` sets up how the
        document at `path` is served, `fetching(server, path)` tells when its fetch runs."""
        server = self.server()
        for attempt in range(self.ROUNDS):
            package_id = h.new_package_id()
            f.publish(server, package_id, [("game.bin", b"c" * 1000)])
            path = "/publish/tool/muldown/%s.html" % package_id
            serve(server, path)
            try:
                self.close_mid_fetch("%s%d" % (kind, attempt), server, package_id,
                                     lambda: fetching(server, path))
            finally:
                server.release(path)  # a held request waits no longer

    def test_closing_while_the_document_trickles_in(self):
        def trickle(server, path):
            with open(os.path.join(server.root, path.lstrip("/")), "ab") as document:
                document.write(b";" + b"x" * 400000 + b"\r\n")  # about 200 s at this rate
            server.fault(path, "slow", rate=2000)

        self.close_in_rounds("trickle", trickle, lambda server, path: server.bytes_sent(path) > 0)

    def test_closing_while_the_answer_is_held_back(self):
        self.close_in_rounds("held", lambda server, path: server.fault(path, "held", code=200),
                             lambda server, path: server.requests(path) != [])


GROUPS = {"start": StartTest, "failure": FailureTest, "hostile": HostileTest,
          "install": InstallTest, "resume": ResumeTest, "close": CloseTest}

if __name__ == "__main__":
    h.run_group(GROUPS, "start")

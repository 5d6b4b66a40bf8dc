#!/usr/bin/python3
"""The download window end to end: the real window, prompts and engine under Wine and Xvfb,
downloading from the local test server. Run with a group name: basic, sequence, faults,
companion, page (see tests/workflow/CMakeLists.txt). Screenshots go to test-artifacts/dlwindow/.
"""

import os
import socket
import unittest

import dlwindow_ids as ids
import harness as h
from fixture import (ACTION_BUTTON, COMPANION_BOX, Host, Package, Server, md5_of, to_unix,
                     write_document)

WM_LBUTTONUP = 0x202
PAGE_AREA = (20, 56, 640, 245)  # the page view or the default picture


class WindowTest(unittest.TestCase):
    def setUp(self):
        self.server = Server()
        self.hosts = []
        self.folder = h.scratch_dir("dlwindow_" + self._testMethodName[:40])
        self.cleanup_paths = []

    def tearDown(self):
        for host in self.hosts:
            host.kill()
            # Every file of the package, finished or partial, in the folder it went to.
            paths = [l[5:] for l in host.seen if l.startswith("path ")]
            if paths:
                folder = to_unix(paths[-1])
                marker = host.id.strip("{}")[:8]
                for name in os.listdir(folder) if os.path.isdir(folder) else []:
                    if marker in name:
                        os.remove(os.path.join(folder, name))
        self.server.stop()
        for path in self.cleanup_paths:
            if os.path.exists(path):
                os.remove(path)

    def host(self, package_id, *args):
        host = Host(self.folder, package_id, self.server, *args)
        self.hosts.append(host)
        host.start_window()
        return host

    def expect(self, host, prefix, timeout=120.0):
        return host.expect(self, prefix, timeout)

    def target_folder(self, host):
        for line in reversed(host.seen):
            if line.startswith("path "):
                return line[5:]
        self.fail("no folder shown; output: %r" % host.seen)

    def report_arrives(self, name, seconds=60):
        prefix = "/ClientApp/%s/" % name
        return h.wait_until(lambda: next((e["target"] for e in self.server.log()
                                          if e["target"].startswith(prefix)), None),
                            seconds, what="report " + name)

    def served_files(self, name_part):
        return [entry for entry in self.server.log() if name_part in entry["target"]]

    def downloaded(self, host, package):
        folder = to_unix(self.target_folder(host))
        for name, data, md5 in package.files:
            path = os.path.join(folder, name)
            self.cleanup_paths.append(path)
            self.assertEqual(md5_of(path), md5, name)


class BasicTest(WindowTest):
    def test_one_file_by_the_download_button_then_tray_second_start_and_quit(self):
        package_id = h.new_package_id()
        package = Package(self.server, package_id, [3 * 1048576 + 17])
        name = package.files[0][0]
        # Slow enough that the window can be seen while it transfers.
        self.server.fault("/files/" + name, "slow", rate=100000)
        host = self.host(package_id, "--answer", "CInstallGameDlg:0")
        self.expect(host, "config 5")
        self.expect(host, "page default")
        self.expect(host, "mode 0")
        host.screenshot("mode0_default_page", painted=PAGE_AREA)

        host.click(ACTION_BUTTON)
        self.expect(host, "mode 2")
        self.expect(host, "report statLogMuldownUrl")
        host.screenshot("mode2_downloading")
        self.server.clear_faults()
        self.expect(host, "verified")
        # Made hidden and placed first, so it never flashes up over a full-screen program.
        self.expect(host, "prompt-made hidden")
        self.expect(host, "prompt-window CInstallGameDlg")
        self.expect(host, "prompt-result 0")
        self.expect(host, "mode 3")
        self.expect(host, "report statLogMuldownMd5")
        host.screenshot("mode3_install")
        self.downloaded(host, package)
        # The reports leave through the statistics worker, a moment later.
        self.assertTrue(self.report_arrives("statLogMuldownUrl"))
        self.assertIn("md5=" + package.files[0][2], self.report_arrives("statLogMuldownMd5"))

        # Close hides into the notification area; a tray click brings the window back.
        host.command(ids.CLOSE)
        self.expect(host, "hidden")
        self.assertFalse(host.visible())
        host.message(ids.TRAY_MESSAGE, ids.TRAY_ICON, WM_LBUTTONUP)
        self.expect(host, "shown")
        self.assertTrue(host.visible())

        # A second start of the program for this package raises this window.
        host.command(ids.CLOSE)
        self.expect(host, "hidden")
        program = h.stamp(os.path.join(self.folder, "second.exe"), package_id)
        self.assertEqual(h.run(program, timeout=120).returncode, 0)
        self.expect(host, "command %d" % ids.SHOW)
        self.expect(host, "shown")

        # "关闭" ends the program with the engine stopped.
        self.assertEqual(host.quit(), "exit 0")
        self.assertIn("quit", host.seen)


class FaultTest(WindowTest):
    def test_refused_folders_and_a_failure_prompt_over_a_folder_prompt(self):
        package_id = h.new_package_id()
        package = Package(self.server, package_id, [1048576], seed=11)
        # The failure must come while the folder prompt is up: the 404 waits for it.
        failing = "/files/" + package.files[0][0]
        self.server.fault(failing, "held", code=404)
        blocked = os.path.join(self.folder, "a-file")
        with open(blocked, "w") as f:
            f.write("x")
        host = self.host(package_id, "--choose", "Z:" + blocked.replace("/", "\\"),
                         "--choose", "cancel",
                         # The folder prompt is answered first, while the failure prompt
                         # opened over it is still up; that one is answered afterwards.
                         "--answer", "CDirErrDlg:0@CDownLoadFailedDlg",
                         "--answer", "CDownLoadFailedDlg:0@-CDirErrDlg")
        self.expect(host, "mode 0")
        host.click(ACTION_BUTTON)
        self.expect(host, "mode 2")
        host.command(ids.CHANGE_FOLDER)
        self.expect(host, "prompt 所选目录没有读写权限，请您重新选择目录!")
        self.server.release(failing)
        self.expect(host, "prompt 下载失败")
        self.expect(host, "answer CDirErrDlg 0")
        self.expect(host, "answer CDownLoadFailedDlg 0")
        # The inner prompt ends with its own answer (not 4, unanswered), then the outer one.
        self.assertEqual(self.expect(host, "prompt-result"), "prompt-result 0")
        self.expect(host, "mode 4")
        self.assertEqual(self.expect(host, "prompt-result"), "prompt-result 0")
        self.assertEqual(host.quit(), "exit 0")

    def test_a_package_with_a_hostile_file_name_is_refused_before_anything_is_written(self):
        package_id = h.new_package_id()
        link = self.server.url("/files/x\\..\\..\\evil_%s.bin" % package_id[1:9])
        write_document(self.server, package_id, [1000], [link], game_name="Evil")
        host = self.host(package_id, "--answer", "CDownLoadFailedDlg:0")
        self.expect(host, "mode 0")
        host.click(ACTION_BUTTON)
        self.expect(host, "refused package")
        self.expect(host, "prompt-window CDownLoadFailedDlg")
        self.expect(host, "mode 0")
        self.assertNotIn("mode 2", host.seen)
        self.assertFalse(self.served_files("evil_"))
        self.assertEqual(host.quit(), "exit 0")

    def folder_error_prompt(self, seed, answer):
        """Change folder to a file's path: the folder-error prompt opens and gets `answer`."""
        package_id = h.new_package_id()
        Package(self.server, package_id, [1048576], seed=seed)
        blocked = os.path.join(self.folder, "blocked-%d" % seed)
        with open(blocked, "w") as f:
            f.write("x")
        host = self.host(package_id, "--choose", "Z:" + blocked.replace("/", "\\"),
                         "--answer", "CDirErrDlg:" + answer)
        self.expect(host, "mode 0")
        host.command(ids.CHANGE_FOLDER)
        self.expect(host, "prompt-window CDirErrDlg")
        return host

    def test_quit_inside_a_prompt_ends_the_program(self):
        host = self.folder_error_prompt(13, "quit")
        self.expect(host, "prompt-result 4")
        self.assertEqual(host.quit(), "exit 7")

    def test_close_from_the_tray_menu_while_a_prompt_is_open(self):
        host = self.folder_error_prompt(15, "keep")
        self.assertEqual(host.quit(), "exit 0")

    def test_large_package_folders_fat_and_free_space(self):
        package_id = h.new_package_id()
        write_document(self.server, package_id, [1 << 50], [self.server.url("/files/huge.bin")],
                       game_name="Huge")
        host = self.host(package_id, "--choose", "Z:\\no\\such\\folder", "--choose", "Z:\\tmp",
                         "--choose", "cancel", "--answer", "CDirErrDlg:2",
                         "--answer", "CDirErrDlg:2")
        self.expect(host, "mode 0")
        host.command(ids.CHANGE_FOLDER)
        self.expect(host, "prompt 磁盘格式为FAT32，无法保存大于4GB的文件，请更换为NTFS格式分区！")
        self.expect(host, "prompt 磁盘空间不足，请您重新选择目录!")
        self.expect(host, "choose cancel")
        self.assertEqual(host.quit(), "exit 0")


class CompanionTest(WindowTest):
    def companion_package(self, trust):
        package_id = h.new_package_id()
        package = Package(self.server, package_id, [1048576], seed=17,
                          quillet="/files/quillet_setup.exe")
        self.server.put("/files/quillet_setup.exe", b"MZ" + bytes(700000))
        host = self.host(package_id, "--trust", trust, "--answer", "CInstallGameDlg:0")
        self.cleanup_paths.append(os.path.join(os.environ["WINEPREFIX"],
                                               "drive_c/users/root/Temp/VexaCompanion/quillet_setup.exe"))
        return package, host

    def game_requests_after_companion(self, package):
        log = self.server.log()
        companion = [e["seq"] for e in log if e["target"].endswith("/quillet_setup.exe")]
        game = [e["seq"] for e in log if e["target"].endswith("/" + package.files[0][0])]
        self.assertTrue(companion and game)
        return min(game) > min(companion), min(game)

    def test_the_companion_comes_first_and_a_trusted_installer_is_started(self):
        package, host = self.companion_package("yes")
        self.expect(host, "report statLogQuilletMuldownUrl")
        self.expect(host, "mode 0")
        host.click(ACTION_BUTTON)
        self.expect(host, "companion started")
        self.expect(host, "companion finished 1")
        trust = self.expect(host, "trust-check ")
        self.assertTrue(trust.endswith("\\quillet_setup.exe"), trust)
        started = self.expect(host, "started ")
        self.assertEqual(started[len("started "):], trust[len("trust-check "):])
        self.expect(host, "verified")
        self.downloaded(host, package)
        after, _ = self.game_requests_after_companion(package)
        self.assertTrue(after)
        self.assertEqual(host.quit(), "exit 0")

    def test_an_untrusted_installer_is_not_started(self):
        package, host = self.companion_package("no")
        self.expect(host, "mode 0")
        host.click(ACTION_BUTTON)
        self.expect(host, "companion finished 1")
        self.expect(host, "trust-check ")
        self.expect(host, "verified")
        self.assertFalse([l for l in host.seen if l.startswith("started ")])
        self.assertEqual(host.quit(), "exit 0")

class CompanionBoxTest(WindowTest):
    def test_unticking_asks_and_the_answer_decides(self):
        package_id = h.new_package_id()
        Package(self.server, package_id, [1048576], seed=19, quillet="/files/q.exe")
        host = self.host(package_id, "--answer", "CPromptDownloadQuilletDlg:2",
                         "--answer", "CPromptDownloadQuilletDlg:1")
        self.expect(host, "mode 0")
        host.click(COMPANION_BOX)
        self.expect(host, "prompt-window CPromptDownloadQuilletDlg")
        self.expect(host, "companion ticked")  # "装上试试" ticks it again
        host.click(COMPANION_BOX)
        self.expect(host, "prompt-window CPromptDownloadQuilletDlg")
        self.expect(host, "companion unticked")  # "下次再装" leaves it unticked
        self.assertEqual(host.quit(), "exit 0")


class PageTest(WindowTest):
    """The page area with a page to show: it gives way to the default picture when the page
    fails or never arrives, and is asked for once, with nothing loaded before it."""

    def test_a_refused_page_gives_the_default_picture(self):
        # A bound port that does not listen: every connection to it is refused.
        closed = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        closed.bind(("127.0.0.1", 0))
        self.addCleanup(closed.close)
        link = "http://127.0.0.1:%d/page.html" % closed.getsockname()[1]
        package_id = h.new_package_id()
        Package(self.server, package_id, [4096], embed_link=link)
        host = self.host(package_id)
        self.expect(host, "config 5")
        self.expect(host, "page web")
        self.expect(host, "page default")
        host.screenshot("page_refused_default_picture", painted=PAGE_AREA)
        self.assertEqual(host.quit(), "exit 0")

    def test_a_page_that_never_answers_gives_the_default_picture_after_the_limit(self):
        package_id = h.new_package_id()
        Package(self.server, package_id, [4096], embed_link=self.server.url("/page.html"))
        self.server.put("/page.html", b"<html><body>promotion</body></html>")
        self.server.fault("/page.html", "held", code=200)
        host = self.host(package_id, "--page-time-limit", "3000")
        self.expect(host, "config 5")
        self.expect(host, "page web")
        self.expect(host, "page default")
        # The page was the view's first and only navigation: one request, still held.
        pages = self.served_files("/page.html")
        self.server.release("/page.html")
        self.assertEqual(len(pages), 1, pages)
        self.assertEqual(host.quit(), "exit 0")


GROUPS = {"basic": BasicTest, "faults": FaultTest, "companion": CompanionTest,
          "companionbox": CompanionBoxTest, "page": PageTest}

if __name__ == "__main__":
    h.run_group(GROUPS, "basic")

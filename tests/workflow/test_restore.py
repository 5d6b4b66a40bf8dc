#!/usr/bin/python3
"""The download window across restarts, verification and installation, end to end: the real
window, prompts and engine under Wine and Xvfb against the local test server. Run with a group
name: install, resume3, corrupt (see tests/workflow/CMakeLists.txt).
Screenshots go to test-artifacts/dlwindow/.
"""

import os

import dlwindow_ids as ids
import harness as h
from fixture import Package, md5_of, record_done
from harness import wait_until
from test_dlwindow import WindowTest

MiB = 1048576


class RestoreTest(WindowTest):
    def setUp(self):
        super().setUp()
        self.download_folder = os.path.join(self.folder, "dl", self._testMethodName[:24])
        os.makedirs(self.download_folder, exist_ok=True)

    def start(self, package_id, *args):
        """A host whose download folder, when it is asked for one, is this test's own."""
        return self.host(package_id, "--choose", h.windows_path(self.download_folder), *args)

    def opening(self, host):
        """The state the window restored at its creation and the mode it opened in."""
        created = host.seen[:host.seen.index(next(l for l in host.seen if l.startswith("window ")))]
        restored = [l for l in created if l.startswith("restored ")]
        self.assertEqual(len(restored), 1, created)
        modes = [l for l in created if l.startswith("mode ")]
        return restored[0], modes[-1]

    def choose_folder(self, host):
        host.command(ids.CHANGE_FOLDER)
        self.expect(host, "path " + h.windows_path(self.download_folder))

    def local(self, name):
        path = os.path.join(self.download_folder, name)
        self.cleanup_paths.append(path)
        return path

    def finish_by_resume(self, host, package):
        host.command(ids.RESUME)
        self.expect(host, "mode 2")
        self.expect(host, "mode 3", timeout=240)
        self.expect(host, "report statLogMuldownMd5")
        for name, _, md5 in package.files:
            self.assertEqual(md5_of(self.local(name)), md5, name)


class InstallTest(RestoreTest):
    def test_an_installer_that_cannot_start_is_said_and_the_folder_offered(self):
        package_id = h.new_package_id()
        name = "setup_%s.exe" % package_id[1:9]
        # Verified (its digest is listed) but no program: the system cannot start it.
        Package(self.server, package_id, [], contents=[(name, b"not a program\r\n" * 4096)])
        host = self.start(package_id, "--answer", "CInstallGameDlg:2", "--answer", "CFileErrDlg:0")
        self.choose_folder(host)
        host.command(ids.START)
        self.expect(host, "verified")
        self.expect(host, "install " + h.windows_path(self.local(name)))
        self.expect(host, "install failed")
        self.expect(host, "prompt 安装文件错误!点击继续打开文件目录。")
        self.expect(host, "prompt-result 0")
        self.assertEqual(host.quit(), "exit 0")
        # The install button stayed: the user may try again.
        modes = [l for l in host.seen if l.startswith("mode ")]
        self.assertEqual(modes[-1], "mode 3")


class ResumeSomeFilesTest(RestoreTest):
    def test_first_file_complete_and_second_partial_resumes_the_second(self):
        package_id = h.new_package_id()
        package = Package(self.server, package_id, [2 * MiB, 12 * MiB, MiB + 3], seed=33)
        first, second_name = package.files[0][0], package.files[1][0]
        self.server.fault("/files/" + second_name, "slow", rate=150000)
        host = self.start(package_id)
        self.choose_folder(host)
        host.command(ids.START)
        self.expect(host, "verified")
        record = self.local(second_name + ".P2P.rec")
        self.local(second_name + ".P2P")
        wait_until(lambda: record_done(record) >= MiB, what="1 MiB of the second file")
        host.kill()
        self.server.clear_faults()

        requests = len(self.server.log())
        again = self.start(package_id, "--answer", "CInstallGameDlg:0")
        self.assertEqual(self.opening(again), ("restored 1 %d" % (2 * MiB), "mode 1"))
        self.finish_by_resume(again, package)
        # The first file was not fetched again.
        self.assertFalse([e for e in self.server.log()[requests:] if e["target"].endswith(first)])
        self.assertEqual(again.quit(), "exit 0")

    def test_kill_after_the_first_file_gives_state_4_and_resume_fetches_the_rest(self):
        package_id = h.new_package_id()
        package = Package(self.server, package_id, [2 * MiB, 3 * MiB, MiB + 7], seed=35)
        first, second_name = package.files[0][0], package.files[1][0]
        # The second file answers nothing for now: it never gets a byte.
        self.server.fault("/files/" + second_name, "stall", at=0, seconds=120)
        host = self.start(package_id)
        self.choose_folder(host)
        host.command(ids.START)
        self.expect(host, "verified")
        host.kill()
        # Killed after the first file: what the second's start may have left holds no data,
        # so the second file stands as never started.
        self.assertEqual(record_done(self.local(second_name + ".P2P.rec")), 0)
        for suffix in (".P2P", ".P2P.rec", ".P2P.rec.tmp"):
            if os.path.exists(self.local(second_name + suffix)):
                os.remove(self.local(second_name + suffix))
        self.server.clear_faults()

        requests = len(self.server.log())
        again = self.start(package_id, "--answer", "CInstallGameDlg:0")
        self.assertEqual(self.opening(again), ("restored 4 %d" % (2 * MiB), "mode 1"))
        again.screenshot("restored_some_files")
        self.finish_by_resume(again, package)
        self.assertFalse([e for e in self.server.log()[requests:] if e["target"].endswith(first)])
        self.assertEqual(again.quit(), "exit 0")


class CorruptTest(RestoreTest):
    def test_complete_package_restores_then_a_corrupted_file_discards_everything(self):
        package_id = h.new_package_id()
        package = Package(self.server, package_id, [MiB, 2 * MiB + 9], seed=37)
        host = self.start(package_id, "--answer", "CInstallGameDlg:0")
        self.choose_folder(host)
        host.command(ids.START)
        self.expect(host, "mode 3", timeout=240)
        self.expect(host, "prompt-result 0")
        self.assertEqual(host.quit(), "exit 0")
        bystander = os.path.join(self.download_folder, "keep_me.txt")
        with open(bystander, "w") as f:
            f.write("not the package's")
        self.cleanup_paths.append(bystander)

        # Everything complete: the install button at once, nothing fetched.
        requests = len(self.server.log())
        again = self.start(package_id)
        self.assertEqual(self.opening(again), ("restored 2 %d" % (3 * MiB + 9), "mode 3"))
        again.screenshot("restored_complete")
        self.assertEqual(again.quit(), "exit 0")
        self.assertFalse([e for e in self.server.log()[requests:] if "/files/" in e["target"]])

        # One byte of the second file changed, same size: with safecheck 1 all of it goes.
        damaged = self.local(package.files[1][0])
        with open(damaged, "r+b") as f:
            f.seek(MiB)
            byte = f.read(1)
            f.seek(MiB)
            f.write(bytes([byte[0] ^ 0xFF]))
        third = self.host(package_id)
        self.assertIn("discard " + h.windows_path(self.download_folder) + "\\", third.seen)
        self.assertEqual(self.opening(third), ("restored 0 0", "mode 0"))
        # The default folder is offered again, not the one of the discarded download.
        self.assertNotEqual(self.target_folder(third), h.windows_path(self.download_folder) + "\\")
        third.screenshot("restored_discarded")
        for name, _, _ in package.files:
            self.assertFalse(os.path.exists(self.local(name)), name)
        self.assertTrue(os.path.exists(bystander))
        self.assertEqual(third.quit(), "exit 0")


GROUPS = {"install": InstallTest, "resume3": ResumeSomeFilesTest, "corrupt": CorruptTest}

if __name__ == "__main__":
    h.run_group(GROUPS, "install")

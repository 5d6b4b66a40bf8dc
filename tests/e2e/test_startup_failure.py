"""A first window that cannot be created: one more attempt, then a message box, never a
start that silently vanishes. The creations are made to fail through the test build's
VEXA_TEST_FAIL_MAIN_WINDOW seam; VEXA_STARTUP_LOG collects what start-up reports. The
program as shipped has no such seam."""

import os
import time
import unittest

import harness as h


class StartupFailureTest(unittest.TestCase):
    def setUp(self):
        self.processes = []
        self.folder = h.scratch_dir("startup_failure")

    def tearDown(self):
        for process in self.processes:
            h.stop(process)
        h.wait_windows(0, seconds=10)

    def launch(self, name, failures, program=h.TEST_BUILD_PROGRAM):
        exe = h.stamp("%s/%s.exe" % (self.folder, name), h.new_package_id(), program=program)
        log = os.path.join(self.folder, name + ".log")
        if os.path.exists(log):
            os.remove(log)
        process = h.start(exe, env={"VEXA_TEST_FAIL_MAIN_WINDOW": str(failures),
                                    "VEXA_STARTUP_LOG": h.windows_path(log)})
        self.processes.append(process)
        return process, log

    @staticmethod
    def log_lines(log):
        with open(log, encoding="utf-8") as f:
            return [line.strip() for line in f if line.strip()]

    def test_two_failed_creations_end_with_a_message_box(self):
        process, log = self.launch("fails_twice", 2)
        self.assertEqual(h.wait_windows(1), 1, "a message box must tell the user")
        self.assertEqual(h.driver("class-of", h.MAIN_TITLE_PREFIX).stdout.strip(), "#32770")
        h.screenshot("startup_failure_message_box")
        lines = self.log_lines(log)
        self.assertEqual(len(lines), 3, lines)
        for line in lines[:2]:
            self.assertIn("window creation failed (error 1400)", line)
        self.assertIn("message loop not entered", lines[2])

        self.assertEqual(h.driver("send-command", h.MAIN_TITLE_PREFIX, 1).returncode, 0)  # IDOK
        self.assertEqual(process.wait(timeout=60), 0)

    def test_one_failed_creation_is_retried(self):
        process, log = self.launch("fails_once", 1)
        self.assertEqual(h.wait_windows(1), 1)
        self.assertNotEqual(h.driver_on_window("class-of", h.MAIN_TITLE_PREFIX).stdout.strip(),
                            "#32770")
        lines = self.log_lines(log)
        self.assertEqual(len(lines), 1, lines)
        self.assertIn("window creation failed (error 1400)", lines[0])
        self.assertEqual(h.driver_on_window("post-quit", h.MAIN_TITLE_PREFIX, 0).returncode, 0)
        self.assertEqual(process.wait(timeout=60), 0)

    def test_desktop_without_a_display_driver_is_named_in_the_report(self):
        # Wine gives a desktop whose manager (explorer) does not come up in time a desktop
        # window without a display driver: no window of any process on it can be made. The
        # copy gets a desktop of its own (Wine's per-program setting) whose manager cannot
        # start at all, which comes to the same; the session's own desktop is left alone.
        exe = h.stamp("%s/no_display.exe" % self.folder, h.new_package_id())
        key = "HKCU\\Software\\Wine\\AppDefaults\\no_display.exe\\Explorer"
        desktop = "VexaNoDisplay%d" % os.getpid()
        self.assertEqual(h.run("reg", "add", key, "/v", "Desktop", "/d", desktop, "/f").returncode, 0)
        self.addCleanup(h.run, "reg", "delete", key, "/f")
        log = os.path.join(self.folder, "no_display.log")
        if os.path.exists(log):
            os.remove(log)
        overrides = os.environ.get("WINEDLLOVERRIDES", "")
        process = h.start(exe, env={"VEXA_STARTUP_LOG": h.windows_path(log),
                                    "WINEDLLOVERRIDES": overrides + ";explorer.exe=d"})
        self.processes.append(process)
        self.assertEqual(process.wait(timeout=300), 0, process.describe())
        # The start is handed to a fresh process once; that one meets the same desktop and
        # ends the same way, without handing it on again.
        # (The error code depends on how far the window got: the system's creation fails
        # without one, a window that fails in its own creation handler gives 1400.)
        first = ["window creation failed (error "] * 2 + [
            "no window can be made at all", "message loop not entered"]
        deadline = time.time() + 300
        while len(self.log_lines(log)) < 9 and time.time() < deadline:
            time.sleep(0.2)
        lines = self.log_lines(log)
        self.assertEqual(len(lines), 9, lines)
        for line, want in zip(lines, first + ["started again in a fresh process"] + first):
            self.assertIn(want, line)
        pids = [line.split()[2] for line in lines]
        self.assertEqual(len(set(pids[:5])), 1, lines)
        self.assertEqual(len(set(pids[5:])), 1, lines)
        self.assertNotEqual(pids[0], pids[5], lines)

    def test_shipped_program_has_no_test_seams(self):
        def texts(path):
            with open(path, "rb") as f:
                data = f.read()
            return [t for t in ("VEXA_TEST_FAIL_MAIN_WINDOW", "VexaYoral-startup.log")
                    if t.encode("utf-16-le") in data]

        self.assertEqual(len(texts(h.TEST_BUILD_PROGRAM)), 2, "the check looks for the wrong texts")
        self.assertEqual(texts(h.PROGRAM), [])
        # The variable means nothing to it: the first creation succeeds.
        process, log = self.launch("shipped", 2, program=h.PROGRAM)
        self.assertEqual(h.wait_windows(1), 1)
        self.assertNotEqual(h.driver_on_window("class-of", h.MAIN_TITLE_PREFIX).stdout.strip(),
                            "#32770")
        self.assertFalse(os.path.exists(log) and self.log_lines(log), "start-up went astray")
        self.assertEqual(h.driver_on_window("post-quit", h.MAIN_TITLE_PREFIX, 0).returncode, 0)
        self.assertEqual(process.wait(timeout=60), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)

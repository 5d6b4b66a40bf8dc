"""A first window that cannot be created: one more attempt, then a message box, never a
start that silently vanishes. The creations are made to fail through the test builds'
VEXA_TEST_FAIL_MAIN_WINDOW seam; VEXA_STARTUP_LOG collects what start-up reports."""

import os
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

    def launch(self, name, failures):
        exe = h.stamp("%s/%s.exe" % (self.folder, name), h.new_package_id())
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


if __name__ == "__main__":
    unittest.main(verbosity=2)

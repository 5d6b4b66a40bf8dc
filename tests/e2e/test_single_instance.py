"""One copy per package: the single-instance guard and its hand-over, run for real."""

import unittest

import harness as h


class SingleInstanceTest(unittest.TestCase):
    def setUp(self):
        self.processes = []
        self.folder = h.scratch_dir("single_instance")

    def tearDown(self):
        for process in self.processes:
            h.stop(process)
        h.wait_windows(0)

    def copy_for(self, package_id, name):
        return h.stamp("%s/%s.exe" % (self.folder, name), package_id)

    def launch(self, exe):
        process = h.start(exe)
        self.processes.append(process)
        return process

    def report(self):
        """What every program this test started did so far, for a failure message."""
        return "\n".join(process.describe() for process in self.processes)

    def second_copy_beside(self, fake_kind, seconds, name, timeout=120):
        """A test driver's stand-in for a running copy (`fake_kind`), then a second copy of
        the same package, which must end with 0. Returns the stand-in."""
        package_id = h.new_package_id()
        exe = self.copy_for(package_id, name)
        fake = h.start(h.TESTDRIVER, fake_kind, package_id, str(seconds), capture=True)
        self.processes.append(fake)
        self.assertEqual(fake.readline().strip(), "ready", fake.describe())
        second = h.run(exe, timeout=timeout)
        self.assertEqual(second.returncode, 0, second.describe())
        return fake

    def test_second_copy_hands_over_to_the_download_window_and_exits_0(self):
        fake = self.second_copy_beside("fake-download-window", 300, "handover")
        # The running copy's download window was asked to show itself.
        self.assertEqual(fake.readline().strip(), "show", fake.describe())
        self.assertEqual(fake.wait(timeout=60), 0, fake.describe())
        self.assertEqual(h.count_windows(), 0,
                         "the second copy must show nothing\n" + self.report())

    def test_a_copy_whose_mutex_may_not_be_opened_counts_as_running(self):
        # An elevated copy, or one of another account: the mutex exists but this copy may
        # not open it, and CreateMutexW gives no handle at all.
        fake = self.second_copy_beside("fake-locked-window", 120, "locked", timeout=90)
        self.assertEqual(fake.readline().strip(), "show", fake.describe())
        self.assertEqual(h.count_windows(), 0, "the second copy must show nothing")

    def test_hand_over_to_a_copy_that_does_not_answer_ends_anyway(self):
        fake = self.second_copy_beside("fake-hung-window", 400, "hung")
        self.assertIsNone(fake.poll(), "the second copy ended only when the first one did")
        self.assertEqual(h.count_windows(), 0, "the second copy must show nothing")

    def test_second_copy_during_the_first_window_shows_nothing(self):
        exe = self.copy_for(h.new_package_id(), "early")
        self.launch(exe)
        self.assertEqual(h.wait_windows(1), 1, self.report())
        second = h.run(exe)
        self.assertEqual(second.returncode, 0, second.describe())
        # The second copy has ended: whatever it showed is gone with it. The first copy's window
        # may be handing over to its next one right now, so its count settles first.
        self.assertEqual(h.wait_windows(1), 1, self.report())
        h.screenshot("single_instance_first_window")

    def test_copies_of_different_packages_run_side_by_side(self):
        self.launch(self.copy_for(h.new_package_id(), "package_a"))
        self.launch(self.copy_for(h.new_package_id(), "package_b"))
        self.assertEqual(h.wait_windows(2), 2, self.report())

    def test_copies_without_an_identity_run_side_by_side(self):
        self.launch(self.copy_for("", "anonymous_1"))
        self.launch(self.copy_for("", "anonymous_2"))
        self.assertEqual(h.wait_windows(2), 2, self.report())

    def test_exit_code_is_0_whatever_the_loop_returns(self):
        process = self.launch(self.copy_for(h.new_package_id(), "exitcode"))
        self.assertEqual(h.wait_windows(1), 1, self.report())
        posted = h.driver_on_window("post-quit", h.MAIN_TITLE_PREFIX, 42)
        self.assertEqual(posted.returncode, 0, posted.describe())
        self.assertEqual(process.wait(timeout=120), 0, process.describe())


if __name__ == "__main__":
    unittest.main(verbosity=2)

"""The launch sequence end to end: which runtime the launcher starts, how, and when it asks
nothing at all."""

import unittest

import rig
import scenario


class LaunchScenario(scenario.Scenario):
    def assertStartedApplication(self, run, folder):
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(len(run.shell_calls), 1, run.shell_calls)
        return self.assertStarted(run, folder)


class InstalledRuntimeIsNewest(LaunchScenario):
    def test_starts_the_installed_runtime_without_a_question_and_without_waiting(self):
        folder = self.prefix.install_runtime("8.0.432.6")
        # The application keeps running for a while; the launcher must not wait for it.
        linger = 15
        self.prefix.extra_env["KLV_JAVAW_LINGER_SECONDS"] = str(linger)
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertLess(run.seconds, linger)
        record = self.assertStartedApplication(run, folder)
        self.assertEqual(record["elevated"], "yes")
        self.assertNotIn("ended", record)
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)])


class TwoDigitBuild(LaunchScenario):
    offered = "8u292b10"

    def test_needs_no_question(self):
        folder = self.prefix.install_runtime("8.0.292.10")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)


class NoVersionFromTheService(LaunchScenario):
    def test_unreachable_service_starts_the_installed_runtime(self):
        self.service.close()
        folder = self.prefix.install_runtime("8.0.432.6")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)

    def test_garbage_headers_start_the_installed_runtime(self):
        self.service.probe = "garbage"
        folder = self.prefix.install_runtime("8.0.422.5")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)

    def test_a_path_traversal_in_the_installer_name_is_refused(self):
        self.service.probe = "custom"
        self.service.probe_headers = [("Location", r"http://127.0.0.1/x_..\..\..\Windows\evil.msi")]
        folder = self.prefix.install_runtime("8.0.432.6")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)
        self.assertEqual(self.prefix.downloads(), [])

    def test_a_stalled_service_is_given_up_and_the_installed_runtime_started(self):
        self.service.probe = "stall"
        folder = self.prefix.install_runtime("8.0.432.6")
        run = self.prefix.run_launcher(timeout=60)
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)
        self.assertGreater(run.seconds, 15)
        self.assertLess(run.seconds, 40)


class NothingInstalledAndNoVersion(LaunchScenario):
    def test_the_start_of_the_relative_javaw_is_attempted_and_the_exit_code_is_0(self):
        self.service.close()
        shown = []
        # The shell reports the missing file in a box of its own and waits for it.
        run = self.prefix.run_launcher(answers=["ok"], on_box=shown.append)
        self.assertEqual(run.exit_code, 0)
        self.assertEqual([call.file for call in run.shell_calls], [r"bin\javaw.exe"])
        self.assertEqual(run.shell_calls[0].directory, rig.APPLICATION_DIR)
        self.assertEqual(len(shown), 1)
        self.assertIn("not found", shown[0].text)
        # No question was asked, so no attention hook was installed for the shell's box.
        self.assertEqual(run.windows_flashed, 0)
        self.assertIsNone(self.prefix.javaw_record(wait_seconds=1))


if __name__ == "__main__":
    unittest.main()

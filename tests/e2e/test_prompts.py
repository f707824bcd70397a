"""The update stage end to end: the questions, the download and installation of real MSI
packages by Wine's msiexec, the error messages, and every row of the outcomes."""

import re
import unittest

import rig
import scenario
import standin_msi
from box_texts import TEXTS

ENGLISH = TEXTS["en"]


class UpdateScenario(scenario.Scenario):
    offered_dotted = "8.0.432.6"

    def offer_installer(self, outcome="installs", dotted=None):
        self.service.installer = standin_msi.build(dotted or self.offered_dotted, outcome).read_bytes()

    def assertBoxes(self, run, expected):
        """The boxes in the order they appeared, by entry name, with their exact texts."""
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [ENGLISH[name] for name in expected])
        for box, name in zip(run.boxes, expected):
            self.assertEqual(box.buttons, "yes,no" if name in ("noJava", "newJava") else "ok", name)
        # Each box flashed from its activation, before it was answered.
        self.assertEqual([box.flashed for box in run.boxes], [True] * len(expected))

    def assertNothingStarted(self, run):
        self.assertEqual([call for call in run.shell_calls if call.file.endswith("javaw.exe")], [])
        self.assertIsNone(self.prefix.javaw_record(wait_seconds=1))

    def assertInstallerRan(self, run, ran):
        installers = [call for call in run.shell_calls if call.file.endswith(".msi")]
        if not ran:
            self.assertEqual(installers, [])
            return
        self.assertEqual(len(installers), 1)
        call = installers[0]
        self.assertEqual(call.verb, "open")
        self.assertEqual(call.mask, 0x40)
        self.assertEqual(call.show, 0)
        self.assertRegex(call.file, r"^C:\\users\\[^\\]+\\Downloads\\OPENJDK8U-jre_x86-32_windows_hotspot_"
                         + re.escape(self.offered) + r"\.msi$")
        self.assertEqual(call.parameters, "")
        self.assertEqual(call.directory, "")

    def assertDownloadsEmpty(self):
        self.assertEqual(self.prefix.downloads(), [])


class NoRuntimeInstalled(UpdateScenario):
    def test_no_ends_with_the_cannot_run_message_and_exit_code_1(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["no", "ok"])
        self.assertBoxes(run, ["noJava", "noRunJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, False)
        self.assertNothingStarted(run)
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)])

    def test_yes_installs_the_runtime_and_starts_it(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.432.6"])
        self.assertStarted(run, rig.runtime_folder("8.0.432.6"))
        self.assertDownloadsEmpty()
        self.assertEqual(self.service.requests,
                         [("HEAD", rig.API_PATH), ("GET", rig.API_PATH), ("GET", self.service.installer_path())])

    def test_yes_with_a_failing_installer_ends_with_the_installation_failed_message(self):
        self.offer_installer("fails")
        run = self.prefix.run_launcher(answers=["yes", "ok"])
        self.assertBoxes(run, ["noJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, True)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), [])
        self.assertNothingStarted(run)
        self.assertDownloadsEmpty()

    def test_a_restart_required_by_the_installer_counts_as_installed(self):
        self.offer_installer("reboot")
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.432.6"))
        self.assertDownloadsEmpty()


class OlderRuntimeInstalled(UpdateScenario):
    def setUp(self):
        super().setUp()
        self.prefix.install_runtime("8.0.422.5")

    def test_no_keeps_the_installed_runtime(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["no"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, False)
        self.assertStarted(run, rig.runtime_folder("8.0.422.5"))

    def test_yes_starts_the_first_runtime_the_registry_lists_after_the_installation(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True)
        # Both runtimes are there now, and the registry lists the older one first.
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.422.5", "8.0.432.6"])
        self.assertStarted(run, rig.runtime_folder("8.0.422.5"))
        self.assertDownloadsEmpty()

    def test_yes_with_a_failing_installer_ends_the_program_although_a_runtime_is_there(self):
        self.offer_installer("fails")
        run = self.prefix.run_launcher(answers=["yes", "ok"])
        self.assertBoxes(run, ["newJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, True)
        self.assertNothingStarted(run)
        self.assertDownloadsEmpty()


class OldRuntimeListedAfterTheNewOne(UpdateScenario):
    def test_yes_starts_the_newly_installed_runtime(self):
        # The registry lists names in text order, where 8.0.92.14 comes after 8.0.432.6.
        self.prefix.install_runtime("8.0.92.14")
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.432.6", "8.0.92.14"])
        self.assertStarted(run, rig.runtime_folder("8.0.432.6"))


class FailedDownloads(UpdateScenario):
    """A download that does not complete is never run, and ends like a failed installation."""

    def run_failed_download(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes", "ok"], timeout=180)
        self.assertBoxes(run, ["noJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, False)
        self.assertNothingStarted(run)
        self.assertDownloadsEmpty()
        return run

    def test_not_found_after_the_redirect(self):
        self.service.download = "missing"
        self.run_failed_download()

    def test_a_body_cut_short(self):
        self.service.download = "short"
        self.run_failed_download()

    def test_a_stalled_transfer_is_given_up(self):
        self.service.download = "stall"
        run = self.run_failed_download()
        self.assertGreater(run.seconds, 55)

    def test_a_missing_downloads_folder(self):
        for downloads in self.prefix.downloads_folders():
            downloads.rmdir()
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes", "ok"])
        self.assertBoxes(run, ["noJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, False)


if __name__ == "__main__":
    unittest.main()

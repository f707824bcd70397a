"""The update stage end to end: the questions, the download and installation of real MSI
packages by Wine's msiexec, the error messages, and every row of the outcomes."""

import re
import shutil
import subprocess
import time
import unittest

import rig
import scenario
import standin_msi
from box_texts import TEXTS

ENGLISH = TEXTS["en"]


class UpdateScenario(scenario.Scenario):
    offered_dotted = "8.0.472.8"
    saved_as = "OPENJDK8U-jre_x86-32_windows_hotspot_"

    def offer_installer(self, outcome="installs", dotted=None, publisher=standin_msi.PUBLISHER):
        self.service.installer = standin_msi.build(dotted or self.offered_dotted, outcome, publisher=publisher,
                                                   arch=self.arch).read_bytes()

    def assertBoxes(self, run, expected):
        """The boxes in the order they appeared, by entry name, with their exact texts."""
        # On a mismatch, the launcher's own account of the run tells why.
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [ENGLISH[name] for name in expected],
                         self.prefix.launcher_log()[-3000:])
        for box, name in zip(run.boxes, expected):
            self.assertEqual(box.buttons, "yes,no" if name in ("noJava", "newJava") else "ok", name)
        # Each box flashed from its activation, before it was answered.
        self.assertEqual([box.flashed for box in run.boxes], [True] * len(expected))

    def assertNothingStarted(self, run):
        self.assertEqual([call for call in run.shell_calls if call.file.endswith("javaw.exe")], [])
        self.assertIsNone(self.prefix.javaw_record(wait_seconds=1))

    def assertInstallerRan(self, run, ran, for_user=False):
        """Windows Installer from the system folder was asked to install the downloaded package
        (for the machine, or for the user alone), or nothing was."""
        installers = installer_runs(run)
        if not ran:
            self.assertEqual(installers, [])
            return
        self.assertEqual(len(installers), 1)
        call = installers[0]
        self.assertEqual(call.verb, "open")
        self.assertEqual(call.mask, 0x40)
        self.assertEqual(call.show, 0)
        self.assertEqual(call.file.lower(), r"c:\windows\system32\msiexec.exe")
        self.assertRegex(call.parameters, r'^/i "C:\\users\\[^\\]+\\Downloads\\' + re.escape(self.saved_as)
                         + re.escape(self.offered) + r'\.msi" REBOOT=ReallySuppress MSIRESTARTMANAGERCONTROL=DisableShutdown '
                         + ("ALLUSERS=2 MSIINSTALLPERUSER=1 " if for_user else "") + r'/l\*v "C:\\users\\[^\\]+\\AppData'
                         r'\\Local\\Marveth\\KLV\\msiexec-' + re.escape(self.offered) + r'\.log"$')
        self.assertEqual(call.directory, "")

    def assertDownloadsEmpty(self):
        self.assertEqual(self.prefix.downloads(), [])


def installer_runs(run):
    return [call for call in run.shell_calls if call.file.lower().endswith("msiexec.exe")]


class SixtyFourBitLine(UpdateScenario):
    """The launcher built for the 64-bit line, whose build also names the publisher's new name."""
    arch = "x64"
    offered = "8u492b09"
    offered_dotted = "8.0.492.9"
    saved_as = "OpenJDK8U-jre_x64_windows_hotspot_"

    def test_a_64_bit_runtime_is_installed_and_started_from_program_files(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"], launcher=rig.LAUNCHER_X64)
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS_X64), ["8.0.492.9"])
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), [])
        self.assertStarted(run, r"C:\Program Files\Eclipse Adoptium\jre-8.0.492.9-hotspot" + "\\")
        self.assertEqual(self.service.requests[0], ("HEAD", rig.API_PATHS["x64"]))
        self.assertRegex(self.prefix.launcher_log(), r" start launcher=\S+ runtime-arch=x64 built-in-publishers=2 ")

    def test_the_policy_user_installs_for_the_user_alone(self):
        """Wine's msiexec ignores MSIINSTALLPERUSER and installs for the machine all the same:
        the command line shows the request, and the runtime installed starts."""
        self.prefix.set_policy(InstallScope="User")
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"], launcher=rig.LAUNCHER_X64)
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True, for_user=True)
        self.assertStarted(run, r"C:\Program Files\Eclipse Adoptium\jre-8.0.492.9-hotspot" + "\\")
        self.assertIn(" offer version=8u492b09 install-scope=user reason=policy\r\n", self.prefix.launcher_log())

    def test_a_32_bit_runtime_is_not_this_lines_runtime(self):
        self.offer_installer()
        self.prefix.install_runtime("8.0.472.8", arch="x86")
        run = self.prefix.run_launcher(answers=["no", "ok"], launcher=rig.LAUNCHER_X64)
        self.assertBoxes(run, ["noJava", "noRunJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertNothingStarted(run)

    def test_a_renamed_publisher_is_trusted_only_by_a_build_that_names_it(self):
        package = standin_msi.build(self.offered_dotted, publisher=rig.RENAMED_PUBLISHER, arch="x64")
        # What a maker reads off a package to follow the rename.
        signer = subprocess.run([rig.ROOT / "scripts" / "signer", package], capture_output=True, text=True)
        self.assertEqual(signer.stdout, rig.RENAMED_PUBLISHER + "\n", signer.stderr)
        self.service.installer = package.read_bytes()
        run = self.prefix.run_launcher(answers=["yes"], launcher=rig.LAUNCHER_X64)
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        # The same package offered to the default build, which knows only the old name.
        package = self.service.installer
        self.service.close()
        self.service = rig.ReleaseService(self.offered, arch="x86")
        self.addCleanup(self.service.close)
        self.service.installer = package
        run = self.prefix.run_launcher(answers=["yes", "ok"])
        self.assertBoxes(run, ["noJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, False)
        self.assertIn(' signer="Eclipse Foundation AISBL" verdict=refused\r\n', self.prefix.launcher_log())


    def test_a_runtime_installed_for_the_user_starts_but_never_for_an_elevated_launcher(self):
        folder = self.prefix.install_runtime(self.offered_dotted, for_user=True)
        run = self.prefix.run_launcher(launcher=rig.LAUNCHER_X64)
        self.assertEqual(run.boxes, [])
        self.assertStarted(run, folder)
        self.assertIn(" installed version=8u492b09 scope=user\r\n", self.prefix.launcher_log())
        self.assertIn(f' runtime version=8.0.492.9 folder="{folder}" scope=user usable=yes\r\n', self.prefix.launcher_log())
        # Elevated, the launcher would pass its rights on to what the user's programs can change.
        self.prefix.record.unlink()
        run = self.prefix.run_launcher(answers=["no", "ok"], elevated=True, launcher=rig.LAUNCHER_X64)
        self.assertBoxes(run, ["noJava", "noRunJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertNothingStarted(run)
        self.assertIn(" runtime-left-out scope=user version=8.0.492.9 reason=elevated\r\n", self.prefix.launcher_log())


class RuntimeInUse(UpdateScenario):
    def test_no_upgrade_is_offered_while_a_program_runs_from_the_installed_runtime(self):
        folder = self.prefix.install_runtime("8.0.422.5")
        self.offer_installer()
        # The user's application, still open from an earlier start.
        running = self.prefix.windows_to_unix(r"C:\running-javaw.txt")
        env = {**self.prefix.env(), "KLV_JAVAW_RECORD": r"C:\running-javaw.txt", "KLV_JAVAW_LINGER_SECONDS": "60"}
        first = subprocess.Popen(["wine", folder + r"bin\javaw.exe"], env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        self.addCleanup(first.wait)
        self.addCleanup(first.kill)
        for _ in range(100):
            if running.exists():
                break
            time.sleep(0.1)
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, folder)
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)])
        self.assertIsNone(first.poll())
        self.assertRegex(self.prefix.launcher_log(),
                         r" not-offered reason=runtime-in-use process=javaw\.exe pid=\d+ version=8u472b08\r\n")


class NoRuntimeInstalled(UpdateScenario):
    def test_no_ends_with_the_cannot_run_message_and_exit_code_1(self):
        self.offer_installer()
        # Then a runtime installed for the user, of the offered version but the other line (the
        # stand-in javaw.exe is a 64-bit executable): not this line's runtime.
        for runs in (1, 2):
            if runs == 2:
                self.prefix.install_runtime(self.offered_dotted, for_user=True)
            run = self.prefix.run_launcher(answers=["no", "ok"])
            self.assertBoxes(run, ["noJava", "noRunJava"])
            self.assertEqual(run.exit_code, 1)
            self.assertInstallerRan(run, False)
            self.assertNothingStarted(run)
            self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)] * runs)

    def test_yes_installs_the_runtime_and_starts_it(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.472.8"])
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertDownloadsEmpty()
        self.assertEqual(self.service.requests,
                         [("HEAD", rig.API_PATH), ("GET", rig.API_PATH), ("GET", self.service.installer_path())])
        self.assertRegex(self.prefix.launcher_log(), r"(?s) question asked=noJava offered=8u472b08 installed=none "
                         r"answer=yes\r\n.* installation result=installed version=8u472b08\r\n.* end "
                         r"outcome=application-started exit-code=0\r\n$")

    def test_yes_with_a_failing_installer_ends_with_the_installation_failed_message(self):
        self.offer_installer("fails")
        run = self.prefix.run_launcher(answers=["yes", "ok"])
        self.assertBoxes(run, ["noJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, True)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), [])
        self.assertNothingStarted(run)
        self.assertDownloadsEmpty()
        self.assertRegex(self.prefix.launcher_log(), r"(?s) offered=8u472b08 installed=none answer=yes\r\n.* "
                         r"installer-log kept=C:\\users\\[^\\]+\\AppData\\Local\\Marveth\\KLV\\msiexec-8u472b08\.log\r\n"
                         r".* installation result=failed .* end outcome=not-started exit-code=1\r\n$")

    def test_a_restart_required_by_the_installer_counts_as_installed(self):
        self.offer_installer("reboot")
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
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

    def test_yes_starts_the_newly_installed_runtime(self):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True)
        # Both runtimes are there now; the registry lists the older one first.
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.422.5", "8.0.472.8"])
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertDownloadsEmpty()
        # The next start finds the new runtime current and asks nothing.
        self.assertEqual(self.prefix.run_launcher().boxes, [])

    def test_yes_with_a_failing_installer_ends_the_program_although_a_runtime_is_there(self):
        self.offer_installer("fails")
        run = self.prefix.run_launcher(answers=["yes", "ok"])
        self.assertBoxes(run, ["newJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, True)
        self.assertNothingStarted(run)
        self.assertDownloadsEmpty()
        # The Event Log has the failure (Wine's msiexec ends a failed deferred custom action with
        # 1627); a start with nothing to do writes nothing there.
        self.assertEqual(rig.reported_events(run.trace), [
            ("error", 1002, ["8u472b08", "1627", "msiexec-8u472b08.log"]),
            ("error", 1004, ["the installation of the Java runtime failed"])])
        self.service.version = "8u422b05"
        quiet = self.prefix.run_launcher()
        self.assertStarted(quiet, rig.runtime_folder("8.0.422.5"))
        self.assertEqual(rig.reported_events(quiet.trace), [])


class OldRuntimeListedAfterTheNewOne(UpdateScenario):
    def test_yes_starts_the_newly_installed_runtime(self):
        # The registry lists names in text order, where 8.0.92.14 comes after 8.0.472.8.
        self.prefix.install_runtime("8.0.92.14")
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.472.8", "8.0.92.14"])
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))


class FailedDownloads(UpdateScenario):
    """A download that does not complete is never run, and ends like a failed installation."""

    def run_failed_download(self, left=()):
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes", "ok"], timeout=180)
        self.assertBoxes(run, ["noJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, False)
        self.assertNothingStarted(run)
        self.assertEqual(self.prefix.downloads(), list(left))
        return run

    def test_not_found_after_the_redirect(self):
        self.service.download = "missing"
        # A file of the user's under the installer's name is left as it is.
        [downloads] = self.prefix.downloads_folders()
        own = downloads / f"OPENJDK8U-jre_x86-32_windows_hotspot_{self.offered}.msi"
        own.write_bytes(b"the user's own")
        self.run_failed_download(left=[own.name])
        self.assertEqual(own.read_bytes(), b"the user's own")

    def test_a_body_cut_short(self):
        self.service.download = "short"
        self.run_failed_download()

    def test_a_stalled_transfer_is_given_up_and_tried_again(self):
        self.service.download = "stall"
        run = self.run_failed_download()
        self.assertGreater(run.seconds, 55)
        self.assertEqual(self.service.requests.count(("GET", self.service.installer_path())), 2)



class InstallerTrust(UpdateScenario):
    def test_an_unsigned_package_is_never_run(self):
        self.service.installer = standin_msi.build(self.offered_dotted, signed=False).read_bytes()
        run = self.prefix.run_launcher(answers=["yes", "ok"])
        self.assertBoxes(run, ["noJava", "errorJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertInstallerRan(run, False)
        self.assertNothingStarted(run)
        self.assertDownloadsEmpty()

    def test_a_package_of_another_publisher_or_an_older_version_is_never_run(self):
        for name, package, refusals, overrides in (
                ("another publisher", standin_msi.build(self.offered_dotted, publisher="Other Signing Corp"),
                 ['signer="Other Signing Corp" verdict=refused', " why=publisher\r\n"], None),
                ("an older version", standin_msi.build("8.0.422.5"),
                 ["product-version=8.0.422.5 offered=8u472b08 verdict=refused", " why=\"package version\"\r\n"],
                 None),
                # Loaded at its first call, for the package's hash: where it cannot be, the hook says
                # so, the download fails, no crash, and nothing counts against the version.
                ("bcrypt.dll that cannot be loaded", standin_msi.build(self.offered_dotted),
                 ['library name=bcrypt.dll result="not loaded" error=126\r\n',
                  " installation result=failed version=8u472b08 why=download\r\n"], "mscoree,mshtml,bcrypt=")):
            with self.subTest(name):
                self.prefix.extra_env.update({"WINEDLLOVERRIDES": overrides} if overrides else {})
                self.service.installer = package.read_bytes()
                run = self.prefix.run_launcher(answers=["yes", "ok"])
                self.assertBoxes(run, ["noJava", "errorJava"])
                self.assertInstallerRan(run, False)
                self.assertNothingStarted(run)
                self.assertDownloadsEmpty()
                for refusal in refusals:
                    self.assertIn(refusal, self.prefix.launcher_log())

    def test_no_other_program_can_change_the_package_while_it_installs(self):
        self.offer_installer("changes-package")
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True)
        attempt = dict(line.split("=", 1) for line in
                       self.prefix.windows_to_unix(r"C:\write-attempt.txt").read_text().splitlines())
        self.assertIn(r"\Downloads\OPENJDK8U", attempt["path"])
        self.assertEqual(attempt["write"], "32")   # ERROR_SHARING_VIOLATION
        self.assertEqual(attempt["delete"], "32")
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertDownloadsEmpty()

    def test_a_msi_file_association_to_another_program_changes_nothing(self):
        # An archive tool that "opens" .msi files and ends at once with success.
        tool = r"C:\tools\archiver.exe"
        self.prefix.windows_to_unix(tool).parent.mkdir(parents=True)
        shutil.copy(rig.EXIT_WITH, self.prefix.windows_to_unix(tool))
        self.prefix.import_registry([r"[HKEY_CURRENT_USER\Software\Classes\.msi]", '@="KlvArchive"',
                                     r"[HKEY_CURRENT_USER\Software\Classes\KlvArchive\shell\open\command]",
                                     '@="%s 0 \\"%%1\\""' % tool.replace("\\", "\\\\")])
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertEqual(run.exit_code, 0)
        self.assertInstallerRan(run, True)
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.472.8"])
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))

    def test_a_launcher_killed_during_the_download_leaves_no_file(self):
        self.service.download = "stall"
        self.offer_installer()
        installer_request = ("GET", self.service.installer_path())
        # Killed once the partial file is there.
        run = self.prefix.run_launcher(answers=["yes"], kill_when=lambda: installer_request in self.service.requests
                                       and self.prefix.downloads() != [])
        self.assertEqual(run.exit_code, -9)
        self.assertInstallerRan(run, False)
        self.assertNothingStarted(run)
        self.assertDownloadsEmpty()


class DownloadProgress(UpdateScenario):
    def watch_progress(self, samples):
        """An on_tick for run_launcher that keeps what the progress window shows."""
        def sample():
            window = self.prefix.progress_window(0.2)
            if window:
                samples.append(window)
        return sample

    def test_the_progress_window_shows_the_download_and_is_gone_before_the_installer_runs(self):
        self.service.download = "slow"
        self.offer_installer("changes-package")
        samples = []
        run = self.prefix.run_launcher(answers=["yes"], on_tick=self.watch_progress(samples))
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertGreaterEqual(len(samples), 2)
        title, text = ENGLISH["download"]
        self.assertEqual({window["caption"] for window in samples}, {title})
        self.assertEqual(samples[0]["lines"][0], text)
        self.assertRegex(samples[-1]["lines"][1], r"^\d+\.\d MB of 0\.1 MB$")
        positions = [int(window["position"]) for window in samples]
        self.assertEqual(positions, sorted(positions))
        self.assertLess(positions[0], positions[-1])
        attempt = self.prefix.windows_to_unix(r"C:\write-attempt.txt").read_text()
        self.assertNotIn(f"dialog={title}", attempt)

    def cancel_download(self, answers):
        self.service.download = "drip"
        self.offer_installer()
        cancelled = []

        def cancel_once():
            window = None if cancelled else self.prefix.progress_window(0.2)
            if window:
                x, y = window["button.cancel"].split(",")
                subprocess.run(["xdotool", "mousemove", "--sync", x, y, "click", "1"], env=self.prefix.env(),
                               check=True)
                cancelled.append(time.monotonic())
        run = self.prefix.run_launcher(answers=answers, on_tick=cancel_once)
        self.assertEqual(len(cancelled), 1)
        self.assertInstallerRan(run, False)
        self.assertDownloadsEmpty()
        self.assertTrue(self.service.closed_by_client.wait(5))
        return run, cancelled[0]

    def test_cancel_without_a_runtime_means_no(self):
        run, _ = self.cancel_download(answers=["yes", "ok"])
        self.assertBoxes(run, ["noJava", "noRunJava"])
        self.assertEqual(run.exit_code, 1)
        self.assertNothingStarted(run)

    def test_cancel_with_a_runtime_starts_it(self):
        folder = self.prefix.install_runtime("8.0.422.5")
        run, cancelled_at = self.cancel_download(answers=["yes"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, folder)
        # From the click to the end of the launcher, the start of the runtime included.
        self.assertLess(run.ended_at - cancelled_at, 3)


class OneUpdateAtATime(UpdateScenario):
    def setUp(self):
        super().setUp()
        self.prefix.install_runtime("8.0.422.5")
        self.offer_installer()

    def test_a_second_launcher_waits_for_the_first_and_asks_nothing(self):
        second = []

        def start_second(box):
            second.append(subprocess.Popen(["wine", str(rig.LAUNCHER)], env=self.prefix.env(),
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            time.sleep(2)  # the second launcher has asked the service and waits
        run = self.prefix.run_launcher(answers=["yes"], on_box=start_second)
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        while second[0].poll() is None:
            self.assertIsNone(self.prefix.wait_box(0.5), "the second launcher asked too")
        self.assertEqual(second[0].returncode, 0)
        new_javaw = rig.runtime_folder("8.0.472.8") + r"bin\javaw.exe"
        # A launcher ends once the shell has started javaw.exe, which writes its record a moment
        # later.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and (not self.prefix.record.exists() or self.prefix.record.read_text(
                errors="replace").count(f"module={new_javaw}") < 2):
            time.sleep(0.1)
        record = self.prefix.record.read_text()
        self.assertEqual(record.count(f"module={new_javaw}"), 2, record)
        self.assertEqual(self.service.requests.count(("HEAD", rig.API_PATH)), 2)
        self.assertEqual(self.service.requests.count(("GET", self.service.installer_path())), 1)

    def test_a_killed_first_launcher_does_not_hold_up_the_second(self):
        first = subprocess.Popen(["wine", str(rig.LAUNCHER)], env=self.prefix.env(), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        self.assertIsNotNone(self.prefix.wait_box(30))
        first.kill()
        first.wait()
        self.assertIsNone(self.prefix.wait_box(3))  # its question went with it
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))


class UnusualProfiles(UpdateScenario):
    locale = "de_DE.UTF-8"

    def test_without_a_downloads_folder_the_temporary_folder_is_used(self):
        for downloads in self.prefix.downloads_folders():
            downloads.rmdir()
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertEqual(run.exit_code, 0)
        [installer] = [call.parameters for call in installer_runs(run)]
        self.assertRegex(installer, r"^/i \"C:\\users\\[^\\]+\\(AppData\\Local\\)?Temp\\OPENJDK8U")
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertDownloadsEmpty()

    def install_with_profile(self, name):
        """A user whose profile folder's name the German code page cannot spell installs and
        starts the runtime as usual."""
        self.offer_installer()
        downloads = self.prefix.windows_to_unix(rf"C:\users\{name}\Downloads")
        downloads.mkdir(parents=True)
        run = self.prefix.run_launcher(answers=["yes"], profile=rf"C:\users\{name}")
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [TEXTS["de"]["noJava"]])
        self.assertEqual(run.exit_code, 0)
        [installer] = [call.parameters for call in installer_runs(run)]
        self.assertIn(r"\Downloads\OPENJDK8U", installer)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertEqual(list(downloads.iterdir()), [])

    def test_a_polish_name_on_a_german_system(self):
        self.install_with_profile("Łukasz")

    def test_a_chinese_name_on_a_german_system(self):
        self.install_with_profile("张伟")


class Recovery(UpdateScenario):
    def test_a_download_cut_off_halfway_is_resumed(self):
        self.service.download = "cut"
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(len(installer_runs(run)), 1)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        half = len(self.service.installer) // 2
        self.assertEqual(self.service.ranges, [(f"bytes={half}-", '"klv-1"')])

    def test_a_cut_download_is_resumed_behind_a_mirror_whose_redirects_have_a_body(self):
        self.service.download = "cut"
        self.offer_installer()
        mirror_port = rig.SERVICE_PORT + 9
        mirror = rig.NginxRedirect(mirror_port, f"http://127.0.0.1:{rig.SERVICE_PORT}{self.service.installer_path()}")
        self.addCleanup(mirror.close)
        self.service.probe = "custom"
        self.service.probe_headers = [("Location", f"http://127.0.0.1:{mirror_port}/mirror/{self.service.installer_name()}")]
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        half = len(self.service.installer) // 2
        self.assertEqual(self.service.ranges, [(f"bytes={half}-", '"klv-1"')])
        self.assertRegex(self.prefix.launcher_log(), rf" download host=127\.0\.0\.1 status=206 from={half} ")

    def test_the_installation_waits_for_another_one_to_finish(self):
        self.offer_installer()
        # The other installation runs until the launcher is seen waiting for it, however long a
        # loaded machine takes to show and answer the question (10 and 18 s were seen).
        release = self.prefix.windows_to_unix(r"C:\release-mutex.txt")
        holder = subprocess.Popen(["wine", str(rig.HOLD_MUTEX), r"Global\_MSIExecute", "60000", r"C:\release-mutex.txt"],
                                  env=self.prefix.env(), stdout=subprocess.PIPE, text=True)
        self.addCleanup(holder.wait)
        self.addCleanup(holder.stdout.close)
        self.assertEqual(holder.stdout.readline().strip(), "held")
        time.sleep(2)
        run = self.prefix.run_launcher(answers=["yes"], on_tick=lambda: " installer-busy waiting=" in
                                       self.prefix.launcher_log() and release.touch())
        self.assertEqual(holder.wait(30), 0)
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertRegex(self.prefix.launcher_log(), r" installer-busy waited-ms=[1-9]\d*\r\n")

    def test_cancelling_windows_installer_keeps_the_installed_runtime(self):
        folder = self.prefix.install_runtime("8.0.422.5")
        self.offer_installer()
        # A stand-in msiexec.exe that ends as Windows Installer does when its user cancels.
        self.prefix.replace_file(r"C:\windows\system32\msiexec.exe", rig.EXIT_WITH)
        self.prefix.extra_env.update(WINEDLLOVERRIDES="mscoree,mshtml=;msiexec.exe=n", KLV_EXIT_WITH="1602")
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["newJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, folder)

    def test_a_windows_installer_busy_at_every_try_is_no_failed_installation(self):
        self.prefix.install_runtime("8.0.422.5")
        self.offer_installer()
        # A stand-in msiexec.exe that always finds another installation running.
        self.prefix.replace_file(r"C:\windows\system32\msiexec.exe", rig.EXIT_WITH)
        self.prefix.extra_env.update(WINEDLLOVERRIDES="mscoree,mshtml=;msiexec.exe=n", KLV_EXIT_WITH="1618")
        for _ in range(2):
            run = self.prefix.run_launcher(answers=["yes", "ok"])
            self.assertBoxes(run, ["newJava", "errorJava"])
            self.assertEqual(len(installer_runs(run)), 4)  # the first try and three more
            self.assertLess(run.seconds, 60)
        self.assertIn(" installation result=installer-busy version=8u472b08 why=", self.prefix.launcher_log())
        # Two failed installations would stop the offer; busy ones do not count.
        self.assertBoxes(self.prefix.run_launcher(answers=["no"]), ["newJava"])

    def test_a_version_that_failed_twice_is_not_offered_again(self):
        folder = self.prefix.install_runtime("8.0.422.5")
        self.offer_installer("fails")
        for _ in range(2):
            self.assertBoxes(self.prefix.run_launcher(answers=["yes", "ok"]), ["newJava", "errorJava"])
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStarted(run, folder)
        self.assertIn(" not-offered version=8u472b08 failed-installations=2 ", self.prefix.launcher_log())
        # A runtime whose javaw.exe is gone starts nothing: the version is offered again, and the
        # shell's failed start (its own "File not found" box) is in the Event Log with its code.
        self.prefix.windows_to_unix(folder + r"bin\javaw.exe").unlink()
        run = self.prefix.run_launcher(answers=["no", "ok"])
        self.assertEqual([box.caption for box in run.boxes], [ENGLISH["newJava"][0], "Error"])
        self.assertIn(" verb=open result=failed error=2\r\n", self.prefix.launcher_log())
        self.assertEqual(rig.reported_events(run.trace),
                         [("error", 1004, ["the shell could not start javaw.exe, error 2"])])


class ElevatedLauncher(UpdateScenario):
    def test_downloads_only_into_a_folder_of_its_own_for_administrators(self):
        program_data = self.prefix.windows_to_unix(r"C:\ProgramData")
        before = sorted(program_data.rglob("*"))
        self.offer_installer()
        run = self.prefix.run_launcher(answers=["yes"], elevated=True)
        self.assertEqual(run.exit_code, 0)
        [installer] = installer_runs(run)
        self.assertRegex(installer.parameters, r'^/i "C:\\ProgramData\\klv-[0-9a-f]{32}\\OPENJDK8U-jre_x86-32_windows_'
                                               r'hotspot_8u472b08\.msi" ')
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"), verb="runas")
        self.assertEqual(self.prefix.registry_subkeys(rig.RUNTIME_RECORDS), ["8.0.472.8"])
        self.assertDownloadsEmpty()
        self.assertEqual(sorted(program_data.rglob("*")), before)


    def test_a_failed_installations_log_never_writes_through_a_planted_file(self):
        [local] = [p for p in self.prefix.windows_to_unix(r"C:\users").glob("*/AppData/Local")
                   if p.parent.parent.name != "Public"]
        folder = local / "Marveth" / "KLV"
        folder.mkdir(parents=True)
        planted = folder / f"msiexec-{self.offered}.log"
        planted.write_bytes(b"planted by another program")
        self.offer_installer("fails")
        run = self.prefix.run_launcher(answers=["yes", "ok"], elevated=True)
        self.assertBoxes(run, ["noJava", "errorJava"])
        [installer] = installer_runs(run)
        # Windows Installer writes into the run's own protected folder.
        self.assertRegex(installer.parameters, r' /l\*v "C:\\ProgramData\\klv-[0-9a-f]{32}\\msiexec-8u472b08\.log"$')
        self.assertEqual(planted.read_bytes(), b"planted by another program")
        [copy] = [path for path in folder.glob("msiexec-*.log") if path != planted]
        self.assertRegex(copy.name, r"^msiexec-8u472b08-\d+\.log$")
        self.assertGreater(copy.stat().st_size, 0)
        self.assertRegex(self.prefix.launcher_log(), r" installer-log kept=C:\\users\\[^\\]+\\AppData\\Local\\Marveth"
                         r"\\KLV\\" + re.escape(copy.name) + "\r\n")


class MirrorNamedByPolicy(UpdateScenario):
    def test_the_probe_and_the_download_go_to_the_mirror(self):
        mirror = rig.ReleaseService(self.offered, port=rig.SERVICE_PORT + 10)
        self.addCleanup(mirror.close)
        mirror.installer = standin_msi.build(self.offered_dotted, "installs").read_bytes()
        self.prefix.set_policy(ReleaseServiceUrl=f"http://127.0.0.1:{mirror.server.server_port}{rig.API_PATH}")
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertBoxes(run, ["noJava"])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertEqual(mirror.requests,
                         [("HEAD", rig.API_PATH), ("GET", rig.API_PATH), ("GET", mirror.installer_path())])
        self.assertEqual(self.service.requests, [])


if __name__ == "__main__":
    unittest.main()

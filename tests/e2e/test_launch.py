"""The launch sequence end to end: which runtime the launcher starts, how, and when it asks
nothing at all."""

import re
import subprocess
import unittest

import rig
import scenario
from box_texts import TEXTS


class LaunchScenario(scenario.Scenario):
    def assertStartedApplication(self, run, folder, verb="open"):
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(len(run.shell_calls), 1, run.shell_calls)
        return self.assertStarted(run, folder, verb)


class InstalledRuntimeIsNewest(LaunchScenario):
    def test_starts_the_installed_runtime_without_a_question_and_without_waiting(self):
        folder = self.prefix.install_runtime("8.0.472.8")
        # The application keeps running for a while; the launcher must not wait for it.
        linger = 15
        self.prefix.extra_env["KLV_JAVAW_LINGER_SECONDS"] = str(linger)
        # An elevated launcher passes its elevation on.
        run = self.prefix.run_launcher(elevated=True)
        self.assertEqual(run.boxes, [])
        self.assertLess(run.seconds, linger)
        record = self.assertStartedApplication(run, folder, verb="runas")
        self.assertNotIn("ended", record)
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)])


class UpdateCheckSchedule(LaunchScenario):
    """Starts that send no request: within the administrators' check period, and while the
    service has asked its clients to wait."""

    def start_twice(self):
        folder = self.prefix.install_runtime("8.0.472.8")
        first = self.prefix.run_launcher()
        self.assertStartedApplication(first, folder)
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)])
        self.prefix.record.unlink()
        second = self.prefix.run_launcher()
        self.assertEqual(second.boxes, [])
        self.assertStartedApplication(second, folder)
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)])
        return self.prefix.launcher_log()

    def test_a_start_within_the_period_asks_nothing(self):
        self.prefix.set_policy(UpdateCheckPeriodMinutes=60)
        log = self.start_twice()
        self.assertRegex(log, r" policy .* check-period-minutes=60 install-scope=none\r\n")
        self.assertRegex(log, r" update-check skipped=period last=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ "
                              r"version=8u472b08\r\n")
        # A remembered answer newer than the installed runtime: the service is asked first, and
        # the question follows its answer of now.
        self.prefix.wine("reg", "delete", rig.RUNTIME_RECORDS + r"\8.0.472.8", "/f", stdout=subprocess.DEVNULL)
        folder, self.service.version = self.prefix.install_runtime("8.0.462.7"), "8u482b08"
        self.prefix.record.unlink()
        third = self.prefix.run_launcher(answers=["no"])
        self.assertEqual([box.caption for box in third.boxes], [TEXTS["en"]["newJava"][0]])
        self.assertStartedApplication(third, folder)
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)] * 2)
        self.assertRegex(self.prefix.launcher_log(), r"(?s) update-check asked=remembered-newer\r\n.* probe .*"
                                                     r" question asked=newJava offered=8u482b08 ")

    def test_a_late_answer_is_the_next_starts_question(self):
        """The service answers after 3 s: the first start starts the application at its deadline;
        the second, against a service still late, starts it at once and remembers the answer; the
        third waits for the check and asks."""
        folder = self.prefix.install_runtime("8.0.462.7")
        self.service.probe_delay, self.service.version = 3, "8u462b07"
        first = self.prefix.run_launcher()
        self.assertEqual(first.boxes, [])
        self.assertStartedApplication(first, folder)
        self.assertEqual(len(self.service.probe_answered), 1)
        self.assertLess(self.prefix.record.stat().st_mtime, self.service.probe_answered[0])
        self.assertRegex(self.prefix.launcher_log(),
                         r"(?s) update-check deferred=deadline ms=\d+\r\n.* start-application .* result=ok .*"
                         r' newest version=8u462b07 verdict="not newer"\r\n.* update-check answered-after-start=8u462b07 late=yes\r\n'
                         r".* end outcome=application-started exit-code=0\r\n$")
        # Still late: no wait for the deadline at all.
        self.prefix.record.unlink()
        self.service.version = "8u472b08"
        second = self.prefix.run_launcher()
        self.assertEqual(second.boxes, [])
        self.assertStartedApplication(second, folder)
        self.assertLess(self.prefix.record.stat().st_mtime, self.service.probe_answered[1])
        deferred = self.prefix.launcher_log().rsplit(" start launcher=", 1)[1]
        self.assertLess(int(re.search(r" update-check deferred=late-last-time ms=(\d+)\r\n", deferred)[1]), 1000)
        self.assertIn(" update-check answered-after-start=8u472b08 late=yes\r\n", deferred)
        self.prefix.record.unlink()
        third = self.prefix.run_launcher(answers=["no"])
        self.assertEqual([box.caption for box in third.boxes], [TEXTS["en"]["newJava"][0]])
        self.assertStartedApplication(third, folder)
        self.assertGreater(self.prefix.record.stat().st_mtime, self.service.probe_answered[2])

    def test_a_services_wait_is_obeyed(self):
        self.service.probe, self.service.probe_status = "status", 503
        self.service.probe_extra = [("Retry-After", "3600")]
        log = self.start_twice()
        self.assertRegex(log, r" service-wait status=503 until=\S+Z\r\n")
        self.assertRegex(log, r" update-check skipped=service-wait until=\S+Z\r\n")


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
        folder = self.prefix.install_runtime("8.0.472.8")
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
        folder = self.prefix.install_runtime("8.0.472.8")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)
        self.assertEqual(self.prefix.downloads(), [])

    def test_a_stalled_service_is_given_up_and_the_installed_runtime_started(self):
        self.service.probe = "stall"
        folder = self.prefix.install_runtime("8.0.472.8")
        run = self.prefix.run_launcher(timeout=60)
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)
        # The application started at the deadline, a second after the launcher; the probe's whole
        # budget is 7 s.
        started = int(re.search(r" update-check deferred=deadline ms=(\d+)\r\n", self.prefix.launcher_log())[1])
        self.assertGreaterEqual(started, 1000)
        self.assertLess(started, 2000)
        self.assertGreater(run.seconds, 6)
        self.assertLess(run.seconds, 15)


class InstalledRuntimeIsNewerThanTheServices(LaunchScenario):
    def test_starts_it_without_offering_the_older_one(self):
        folder = self.prefix.install_runtime("8.0.482.8")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)


class SeveralRuntimes(LaunchScenario):
    def test_the_highest_java_8_runtime_starts_whatever_the_registry_lists_first(self):
        # The registry lists 17.0... and 8.0.422.5 before 8.0.472.8.
        self.prefix.install_runtime("17.0.13.11")
        self.prefix.install_runtime("8.0.422.5")
        folder = self.prefix.install_runtime("8.0.472.8")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)


class CannotStart(LaunchScenario):
    """Nothing is started from a folder the launcher does not know: the user is told instead."""

    def assertEndsWith(self, run, entry):
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [TEXTS["en"][entry]])
        self.assertTrue(run.boxes[0].flashed)
        self.assertEqual(run.exit_code, 1)
        self.assertEqual(run.shell_calls, [])
        self.assertIsNone(self.prefix.javaw_record(wait_seconds=1))

    def test_nothing_installed_and_no_version_from_the_service(self):
        self.service.close()
        self.assertEndsWith(self.prefix.run_launcher(answers=["ok"]), "noRunJava")

    def test_runtime_records_without_a_usable_path(self):
        for kind in ('dword:00000001', 'hex(7):43,00,3a,00,5c,00,00,00,00,00', '""', '"jre\\\\"'):
            with self.subTest(kind=kind):
                self.prefix.import_registry([f"[{rig.RUNTIME_RECORDS}\\8.0.472.8\\hotspot\\MSI]", f'"Path"={kind}'])
                self.assertEndsWith(self.prefix.run_launcher(answers=["ok"]), "noRunJava")

    def test_no_application_folder_known(self):
        self.prefix.install_runtime("8.0.472.8")
        self.prefix.wine("reg", "delete", rig.APPLICATION_KEY, "/f", stdout=subprocess.DEVNULL)
        self.assertEndsWith(self.prefix.run_launcher(answers=["ok"]), "noApp")
        self.assertEqual(self.service.requests, [])


class RuntimePathWithoutTrailingBackslash(LaunchScenario):
    def test_starts_the_runtime_all_the_same(self):
        folder = self.prefix.install_runtime("8.0.472.8")
        self.prefix.import_registry([f"[{rig.RUNTIME_RECORDS}\\8.0.472.8\\hotspot\\MSI]",
                                     '"Path"="%s"' % folder.rstrip("\\").replace("\\", "\\\\")])
        self.assertStartedApplication(self.prefix.run_launcher(), folder)


class UpdateCheckSwitchedOffByPolicy(LaunchScenario):
    def setUp(self):
        super().setUp()
        self.prefix.set_policy(UpdateCheck=0, ReleaseServiceUrl=f"http://127.0.0.1:{rig.SERVICE_PORT}/elsewhere")

    def test_the_installed_runtime_starts_without_asking_the_service(self):
        folder = self.prefix.install_runtime("8.0.422.5")
        run = self.prefix.run_launcher()
        self.assertEqual(run.boxes, [])
        self.assertStartedApplication(run, folder)
        self.assertEqual(self.service.requests, [])

    def test_without_a_runtime_the_application_cannot_run(self):
        run = self.prefix.run_launcher(answers=["ok"])
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [TEXTS["en"]["noRunJava"]])
        self.assertEqual(run.exit_code, 1)
        self.assertEqual(self.service.requests, [])


if __name__ == "__main__":
    unittest.main()

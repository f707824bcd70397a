"""What the end-to-end scenarios share: one display for the whole run, a fresh prefix with the
application installed and a stand-in release service per test, and the check that the
application was started from a given runtime."""

import atexit
import unittest

import rig

_display = None


def display():
    """The Xvfb display of this test run, started on first use."""
    global _display
    if _display is None:
        _display = rig.Display()
        atexit.register(_display.close)
        rig.template_prefix(_display)
    return _display


class Scenario(unittest.TestCase):
    offered = "8u472b08"  # the vendor's last 32-bit Temurin 8, which the service names from now on
    locale = "en_US.UTF-8"
    arch = "x86"  # the runtime line whose service path the stand-in answers

    def setUp(self):
        self.prefix = rig.Prefix(display(), locale=self.locale)
        self.addCleanup(self.prefix.close)
        self.service = rig.ReleaseService(self.offered, arch=self.arch)
        self.addCleanup(self.service.close)
        self.prefix.install_application()

    def assertStarted(self, run, folder, verb="open"):
        """javaw.exe from folder was started, once, as the application's launcher must start it:
        with "open" by a user's launcher, with "runas" by an elevated one."""
        starts = [call for call in run.shell_calls if call.file.endswith("javaw.exe")]
        self.assertEqual(len(starts), 1, run.shell_calls)
        call = starts[0]
        self.assertEqual(call.file, folder + r"bin\javaw.exe")
        self.assertEqual(call.parameters, rig.APPLICATION_ARGS)
        self.assertEqual(call.directory, rig.APPLICATION_DIR)
        self.assertEqual(call.verb, verb)
        # SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC, and no SEE_MASK_FLAG_NO_UI
        self.assertEqual(call.mask, 0x140)
        self.assertEqual(call.show, 0)  # SW_HIDE
        record = self.prefix.javaw_record()
        self.assertIsNotNone(record, "javaw.exe was not started")
        self.assertEqual(record["module"], folder + r"bin\javaw.exe")
        self.assertEqual(record["commandline"], f'"{folder}bin\\javaw.exe" {rig.APPLICATION_ARGS}')
        self.assertEqual(record["directory"], rig.APPLICATION_DIR)
        self.assertEqual(record["elevated"], "yes" if verb == "runas" else "no")
        return record

"""The end-to-end rig: a scratch Wine prefix per scenario (prefix.py), an Xvfb display, a stand-in
of the release service on 127.0.0.1 (standin_service.py) and the other peers on the network
(peers.py), and the launcher run under Wine with its message boxes read by the boxwatch helper
and answered with xdotool. This module holds what they share, and names them all, so that a
scenario needs only `rig`."""

import os
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD_DIR = Path(os.environ.get("KLV_BUILD_DIR", ROOT / "build" / "windows-loopback"))
SERVICE_PORT = int(os.environ.get("KLV_SERVICE_PORT", "18423"))
ARTIFACTS = Path(os.environ.get("KLV_ARTIFACTS", BUILD_DIR / "artifacts"))
# Each runtime line's service path and installer names; the default build serves x86.
API_PATHS = {arch: f"/v3/installer/latest/8/ga/windows/{arch}/jre/hotspot/normal/eclipse" for arch in ("x86", "x64")}
INSTALLER_PREFIXES = {"x86": "OpenJDK8U-jre_x86-32_windows_hotspot_", "x64": "OpenJDK8U-jre_x64_windows_hotspot_"}
API_PATH = API_PATHS["x86"]
INSTALLER_PREFIX = INSTALLER_PREFIXES["x86"]

LAUNCHER = BUILD_DIR / "klv-launcher.exe"
# The launcher for the 64-bit line, which also accepts the renamed publisher (RENAMED_PUBLISHER).
LAUNCHER_X64 = Path(os.environ.get("KLV_X64_BUILD_DIR", BUILD_DIR.parent / "windows-loopback-x64")) / "klv-launcher.exe"
RENAMED_PUBLISHER = "Eclipse Foundation AISBL"
JAVAW = BUILD_DIR / "tests" / "helpers" / "javaw.exe"
BOXWATCH = BUILD_DIR / "tests" / "helpers" / "boxwatch.exe"
EXIT_WITH = BUILD_DIR / "tests" / "helpers" / "exit-with.exe"
AS_USER = BUILD_DIR / "tests" / "helpers" / "as-user.exe"
HOLD_MUTEX = BUILD_DIR / "tests" / "helpers" / "hold-mutex.exe"
MSI_DIR = BUILD_DIR / "tests" / "msi"

RUNTIME_RECORDS = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE"
RUNTIME_RECORDS_X64 = r"HKEY_LOCAL_MACHINE\SOFTWARE\Eclipse Adoptium\JRE"
# A runtime installed for one user, of either line.
USER_RUNTIME_RECORDS = r"HKEY_CURRENT_USER\SOFTWARE\Eclipse Adoptium\JRE"
APPLICATION_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Marveth\KLV"
POLICY_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Marveth\KLV"
APPLICATION_DIR = r"C:\Program Files (x86)\Marveth\KLV"
APPLICATION_ARGS = r"-cp RXTXcomm.jar;bin\de\norvel\KLV\KLV\KLV.jar main.klv"


def runtime_folder(dotted, arch="x86"):
    """Where the runtime's installer puts the runtime of a dotted version (with a trailing
    backslash, as its "Path" record has it)."""
    program_files = r"C:\Program Files (x86)" if arch == "x86" else r"C:\Program Files"
    return rf"{program_files}\Eclipse Adoptium\jre-{dotted}-hotspot" + "\\"


def windows_path(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + str(path).replace("/", "\\")


def _quiet_env(**extra):
    env = dict(os.environ)
    env.update({"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=", **extra})
    return env


class Display:
    """An Xvfb display with no window manager, for the message boxes."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            self.name = ":" + reader.readline().strip()

    def close(self):
        self.process.terminate()
        self.process.wait(10)

    def screenshot(self, path):
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-display", self.name, "-window", "root", str(path)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)



# The rig's parts use the names above; they are imported last, so that each finds them here.
from wine_trace import Box, Run, ShellCall, flashed_windows, parse_shell_calls, reported_events  # noqa: E402,F401
from prefix import Prefix, template_prefix  # noqa: E402,F401
from standin_service import ReleaseService, tls_certificate, tls_context  # noqa: E402,F401
from peers import NginxRedirect, Proxy, RawService, TcpPeer, close_listener, port_is_free  # noqa: E402,F401


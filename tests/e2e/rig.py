"""The end-to-end rig: a scratch Wine prefix per scenario, an Xvfb display, a stand-in of the
release service on 127.0.0.1, and the launcher run under Wine with its message boxes read by
the boxwatch helper and answered with xdotool."""

import contextlib
import dataclasses
import http.server
import os
import re
import shutil
import struct
import socket
import ssl
import subprocess
import tempfile
import threading
import time
import urllib.parse
from pathlib import Path

BUILD_DIR = Path(os.environ.get("KLV_BUILD_DIR", Path(__file__).resolve().parents[2] / "build" / "windows-loopback"))
SERVICE_PORT = int(os.environ.get("KLV_SERVICE_PORT", "18423"))
ARTIFACTS = Path(os.environ.get("KLV_ARTIFACTS", BUILD_DIR / "artifacts"))
API_PATH = "/v3/installer/latest/8/ga/windows/x86/jre/hotspot/normal/eclipse"
INSTALLER_PREFIX = "OpenJDK8U-jre_x86-32_windows_hotspot_"

LAUNCHER = BUILD_DIR / "klv-launcher.exe"
JAVAW = BUILD_DIR / "tests" / "helpers" / "javaw.exe"
BOXWATCH = BUILD_DIR / "tests" / "helpers" / "boxwatch.exe"
EXIT_WITH = BUILD_DIR / "tests" / "helpers" / "exit-with.exe"
AS_USER = BUILD_DIR / "tests" / "helpers" / "as-user.exe"
HOLD_MUTEX = BUILD_DIR / "tests" / "helpers" / "hold-mutex.exe"
MSI_DIR = BUILD_DIR / "tests" / "msi"

RUNTIME_RECORDS = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE"
APPLICATION_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Marveth\KLV"
POLICY_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Marveth\KLV"
APPLICATION_DIR = r"C:\Program Files (x86)\Marveth\KLV"
APPLICATION_ARGS = r"-cp RXTXcomm.jar;bin\de\norvel\KLV\KLV\KLV.jar main.klv"


def runtime_folder(dotted):
    """Where the runtime's installer puts the runtime of a dotted version (with a trailing
    backslash, as its "Path" record has it)."""
    return rf"C:\Program Files (x86)\Eclipse Adoptium\jre-{dotted}-hotspot" + "\\"


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


def template_prefix(display):
    """A freshly initialised Wine prefix, made once per build folder and copied per scenario."""
    template = BUILD_DIR / "wine-template"
    if (template / ".klv-ready").exists():
        return template
    shutil.rmtree(template, ignore_errors=True)
    env = _quiet_env(WINEPREFIX=str(template), DISPLAY=display.name)
    subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Without a window manager, Wine draws the frame and caption of its windows itself only for
    # unmanaged windows; screenshots then show the boxes' captions too.
    reg = BUILD_DIR / "wine-template.reg"
    reg.write_text('Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n'
                   '"Managed"="N"\r\n', encoding="utf-16")
    subprocess.run(["wine", "regedit", "/S", str(reg)], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True)
    # A new prefix links the user's folders to the Linux home folder; a test must never
    # download into the home folder of whoever runs it.
    users = template / "drive_c" / "users"
    for link in users.glob("*/*"):
        if link.is_symlink():
            link.unlink()
            link.mkdir()
    (template / ".klv-ready").touch()
    return template


@dataclasses.dataclass
class Box:
    caption: str
    text: str
    buttons: str
    hwnd: str
    button_positions: dict
    flashed: bool = False


@dataclasses.dataclass
class ShellCall:
    mask: int
    verb: str
    file: str
    parameters: str
    directory: str
    show: int


@dataclasses.dataclass
class Run:
    exit_code: int
    seconds: float
    ended_at: float
    boxes: list
    shell_calls: list
    windows_flashed: int
    trace: str


_SHELL_CALL = re.compile(
    r'SHELL_execute mask=0x([0-9a-f]+) hwnd=\S+ verb=(?:L"(.*?)"|\(null\)) file=L"(.*?)" '
    r'parm=(?:L"(.*?)"|\(null\)) dir=(?:L"(.*?)"|\(null\)) show=0x([0-9a-f]+)')


def _unescape(text):
    """Wine's trace writes a backslash as \\\\ and a quote as \\"."""
    return re.sub(r"\\(.)", r"\1", text or "")


def parse_shell_calls(trace):
    return [ShellCall(int(m[1], 16), _unescape(m[2]), _unescape(m[3]), _unescape(m[4]), _unescape(m[5]),
                      int(m[6], 16)) for m in _SHELL_CALL.finditer(trace)]


_FLASH = re.compile(r"^([0-9a-f]+):fixme:win:NtUserFlashWindowEx \S+ - semi-stub$")
_NC_PAINT = re.compile(r"^([0-9a-f]+):trace:win:nc_paint (0x[0-9a-f]+) ")


def flashed_windows(trace):
    """The windows that FlashWindowEx flashed. Wine accepts the call only for a valid record
    (cbSize 32) and a live window; its caption flash then repaints that window's frame, which
    the trace names right after the call, on the same thread."""
    flashed = set()
    waiting = set()
    for line in trace.splitlines():
        if match := _FLASH.match(line):
            waiting.add(match[1])
        elif (match := _NC_PAINT.match(line)) and match[1] in waiting:
            waiting.discard(match[1])
            flashed.add(int(match[2], 16))
    return flashed


class Prefix:
    """A scratch Windows for one scenario, copied from the template."""

    def __init__(self, display, locale="en_US.UTF-8"):
        self.display = display
        self.root = Path(tempfile.mkdtemp(prefix="klv-wine-"))
        self.path = self.root / "prefix"
        template = template_prefix(display)
        # Hard links keep the copy cheap: Wine replaces its registry files instead of writing
        # into them, and the scenario adds files rather than changing the template's.
        subprocess.run(["cp", "-al", str(template), str(self.path)], check=True)
        for hive in self.path.glob("*.reg"):
            shutil.copyfile(hive, hive.with_suffix(".tmp"))
            hive.with_suffix(".tmp").replace(hive)
        self.locale = locale
        self.extra_env = {}
        self.record = self.windows_to_unix(r"C:\javaw-record.txt")

    def env(self, **extra):
        # The wineserver takes its user-interface language from the locale it starts with.
        return _quiet_env(WINEPREFIX=str(self.path), DISPLAY=self.display.name, LC_ALL=self.locale,
                          LANG=self.locale, KLV_JAVAW_RECORD=r"C:\javaw-record.txt", **self.extra_env, **extra)

    def windows_to_unix(self, path):
        assert path[1:3] == ":\\", path
        return self.path / "drive_c" / path[3:].replace("\\", "/")

    def wine(self, *args, check=True, **kwargs):
        return subprocess.run(["wine", *map(str, args)], env=self.env(), check=check, **kwargs)

    def import_registry(self, lines):
        reg = self.root / "records.reg"
        reg.write_text("Windows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(lines) + "\r\n",
                       encoding="utf-16")
        # regedit in a prefix whose wineserver has just started has been seen to end with 1 once
        # (test_languages, de_CH); the import is tried again before it counts as failed.
        for _ in range(3):
            if self.wine("regedit", "/S", reg, check=False, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL).returncode == 0:
                return
            time.sleep(1)
        raise AssertionError(f"regedit could not import {lines}")

    def install_runtime(self, dotted):
        """Writes the records the runtime's installer leaves, and puts the stand-in javaw.exe into
        the runtime's folder. Returns the folder."""
        folder = runtime_folder(dotted)
        bin_dir = self.windows_to_unix(folder + "bin")
        bin_dir.mkdir(parents=True, exist_ok=True)
        shutil.copy(JAVAW, bin_dir / "javaw.exe")
        escaped = folder.replace("\\", "\\\\")
        self.import_registry([f"[{RUNTIME_RECORDS}\\{dotted}\\hotspot\\MSI]", f'"Path"="{escaped}"'])
        return folder

    def set_policy(self, **values):
        """Writes the administrators' policy values (int: REG_DWORD, str: REG_SZ)."""
        lines = ['"%s"=dword:%08x' % (name, value) if isinstance(value, int)
                 else '"%s"="%s"' % (name, value.replace("\\", "\\\\")) for name, value in values.items()]
        self.import_registry([f"[{POLICY_KEY}]", *lines])

    def set_proxy_settings(self, proxy="", bypass="", script="", auto_detect=False):
        """The user's Windows proxy settings, as the Internet Options store them."""
        flags = 1 | (2 if proxy else 0) | (4 if script else 0) | (8 if auto_detect else 0)
        data = struct.pack("<III", 0x46, 1, flags)
        for text in (proxy, bypass, script):
            data += struct.pack("<I", len(text)) + text.encode("ascii")
        data += bytes(32)
        key = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"
        self.import_registry([f"[{key}]", '"DefaultConnectionSettings"=hex:' + ",".join(f"{b:02x}" for b in data)])

    def install_application(self):
        self.windows_to_unix(APPLICATION_DIR).mkdir(parents=True, exist_ok=True)
        escaped = APPLICATION_DIR.replace("\\", "\\\\")
        self.import_registry([f"[{APPLICATION_KEY}]", f'"Path"="{escaped}"'])

    def registry_subkeys(self, key):
        with tempfile.TemporaryFile("w+") as output:
            self.wine("reg", "query", key, check=False, stdout=output)
            output.seek(0)
            out = output.read()
        return [line.rsplit("\\", 1)[1] for line in out.splitlines() if line.startswith(key + "\\")]

    def launcher_log(self):
        """The launcher's log of the user, or "" when there is none."""
        logs = list(self.windows_to_unix(r"C:\users").glob("*/AppData/Local/Marveth/KLV/klv-launcher.log"))
        return logs[0].read_bytes().decode("utf-8") if logs else ""

    def downloads_folders(self):
        return list(self.windows_to_unix(r"C:\users").glob("*/Downloads"))

    def downloads(self):
        """Every file the launcher may have left in a user's Downloads or temporary folder."""
        folders = [*self.downloads_folders(), *self.windows_to_unix(r"C:\users").glob("*/AppData/Local/Temp"),
                   *self.windows_to_unix(r"C:\users").glob("*/Temp")]
        return sorted(p.name for folder in folders if folder.is_dir() for p in folder.iterdir()
                      if p.name.upper().startswith("OPENJDK8U"))

    def javaw_record(self, wait_seconds=10):
        """What the stand-in javaw.exe wrote about its start, or None if it never started."""
        deadline = time.monotonic() + wait_seconds
        while time.monotonic() < deadline:
            if self.record.exists() and "elevated=" in self.record.read_text(errors="replace"):
                text = self.record.read_text(errors="replace")
                return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
            time.sleep(0.1)
        return None

    def wait_box(self, seconds):
        # Through a file, not a pipe: a Wine service that the call happens to start inherits the
        # output handle and would keep a pipe open long after boxwatch has ended.
        with tempfile.TemporaryFile("w+") as output:
            self.wine(BOXWATCH, "wait", int(seconds * 1000), check=False, stdout=output)
            output.seek(0)
            out = output.read()
        fields = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        if "hwnd" not in fields:
            return None
        positions = {name.split(".", 1)[1]: tuple(map(int, value.split(",")))
                     for name, value in fields.items() if name.startswith("button.")}
        return Box(fields["caption"], fields["text"].replace("\\n", "\n"), fields["buttons"], fields["hwnd"],
                   positions)

    def progress_window(self, seconds):
        """The download's progress window as boxwatch reads it (caption, lines, position,
        range, cancel), or None when none appears in time."""
        with tempfile.TemporaryFile("w+") as output:
            self.wine(BOXWATCH, "progress", int(seconds * 1000), check=False, stdout=output)
            output.seek(0)
            lines = output.read().splitlines()
        if not lines:
            return None
        window = {"lines": [line.split("=", 1)[1] for line in lines if line.startswith("line=")]}
        window.update(line.split("=", 1) for line in lines if not line.startswith("line="))
        return window

    def answer(self, box, button):
        """Clicks a button of the box the way a user would, and waits until the box has closed.
        A click needs neither keyboard focus nor the button's label in the box's language. A
        box that is not yet active may take the first click as its activation only, so a user
        (and this rig) clicks again."""
        x, y = box.button_positions[button]
        for _ in range(5):
            subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], env=self.env(),
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if self.wine(BOXWATCH, "gone", box.hwnd, 2000, check=False).returncode == 0:
                return
        raise AssertionError(f"the box {box.caption!r} did not close on clicks on {button!r}")

    def run_launcher(self, answers=(), timeout=120, on_box=None, profile=None, kill_when=None, on_tick=None,
                     trace=True, elevated=False):
        """Runs the launcher and answers each message box with the next button of answers. Returns
        what happened, with the boxes in the order they appeared. A profile (a Windows path)
        replaces the user's profile folder that the launcher sees; once kill_when() is true, the
        launcher is killed, as when its console window is closed or the user logs off; on_tick()
        runs between looks for boxes. The launcher runs as a user without administrator rights
        (as-user), unless elevated: Wine gives every process an administrator's token."""
        answers = list(answers)
        trace_file = self.root / "trace.txt"
        started = time.monotonic()
        with open(trace_file, "w") as trace:
            # Wine traces every ShellExecuteEx call with its fields ("exec"), and reports each
            # FlashWindowEx call that it accepts (a valid record for a live window) as a
            # semi-stub ("win"), so both can be checked from outside.
            command = [windows_path(LAUNCHER)]
            if profile:
                command = [windows_path(BOXWATCH), "run", profile.encode().hex(), windows_path(LAUNCHER)]
            command = ["wine", *([] if elevated else [windows_path(AS_USER)]), *command]
            channels = "-all,trace+exec,fixme+win,trace+win" if trace else "-all"
            self.launcher = launcher = subprocess.Popen(command, env=self.env(WINEDEBUG=channels),
                                        stdout=subprocess.DEVNULL, stderr=trace)
            boxes = []
            while launcher.poll() is None:
                assert time.monotonic() - started < timeout, "the launcher did not end in time"
                if on_tick:
                    on_tick()
                if kill_when and kill_when():
                    launcher.kill()
                    launcher.wait()
                    time.sleep(1)  # the wineserver closes what the killed process held open
                    break
                box = self.wait_box(0.5)
                if box is None:
                    continue
                boxes.append(box)
                if on_box:
                    on_box(box)
                assert answers, f"an unexpected box: {box}"
                self.answer(box, answers.pop(0))
            seconds = time.monotonic() - started
        text = trace_file.read_text(errors="replace")
        flashed = flashed_windows(text)
        for box in boxes:
            box.flashed = int(box.hwnd) in flashed
        return Run(launcher.returncode, seconds, started + seconds, boxes, parse_shell_calls(text), len(flashed), text)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)


def tls_certificate():
    """A self-signed certificate for "localhost" and 127.0.0.1, made once per build folder."""
    cert, key = BUILD_DIR / "tls" / "localhost.pem", BUILD_DIR / "tls" / "localhost-key.pem"
    if not cert.exists():
        cert.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "3650", "-subj", "/CN=localhost", "-addext",
                        "subjectAltName=DNS:localhost,IP:127.0.0.1"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def tls_context(only_tls_1_0=False):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(*tls_certificate())
    if only_tls_1_0:
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1
    return context


class ReleaseService:
    """A stand-in of the release service. The header-only request gets a redirect to the
    installer's file name; a download follows it to the package bytes. With hops (two more
    ports), the download goes as with the real service: 307 to a release host ("localhost",
    first hop), 302 to a content host (127.0.0.1, second hop), which serves the body. With tls,
    every port speaks HTTPS only (TLS 1.2 or newer, or only TLS 1.0)."""

    def __init__(self, version="8u432b06", port=SERVICE_PORT, tls=None, hops=()):
        self.version = version
        self.probe = "redirect"   # redirect | garbage | custom | stall | status | huge
        self.probe_headers = []   # for "custom": (name, value) pairs of the redirect
        self.probe_status = 307   # for "status": the status of an otherwise good redirect
        self.download = "ok"      # ok | missing | short | cut | stall | silent | loop | slow | drip
        self.ranges = []          # the Range and If-Range of each ranged installer request
        self.closed_by_client = threading.Event()
        self.release_location = None  # where the release host sends the download, if not on
        self.pac = ""             # a proxy configuration script, served at /proxy.pac
        self.installer = b""
        self.requests = []
        self.request_times = []   # when each request arrived (time.monotonic)
        self.body_seconds = []    # how long each complete installer body took to send
        self.agents = set()
        self.stop_event = threading.Event()
        self.scheme = "https" if tls else "http"
        self.hops = hops
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_HEAD(self):
                service.agents.add(self.headers.get("User-Agent"))
                service.request_times.append(time.monotonic())
                service.requests.append(("HEAD", self.path))
                service.answer(self, head=True)

            def do_GET(self):
                service.agents.add(self.headers.get("User-Agent"))
                service.request_times.append(time.monotonic())
                service.requests.append(("GET", self.path))
                service.answer(self, head=False)

        self.servers = []
        for listen in (port, *hops):
            server = http.server.ThreadingHTTPServer(("127.0.0.1", listen), Handler)
            server.daemon_threads = True
            # A client that gives up mid-answer (as the launcher does on purpose with a hostile
            # service) is no failure of the stand-in.
            server.handle_error = lambda request, address: None
            if tls:
                server.socket = tls_context(only_tls_1_0=tls == "1.0").wrap_socket(server.socket, server_side=True)
            threading.Thread(target=server.serve_forever, daemon=True).start()
            self.servers.append(server)
        self.server = self.servers[0]

    def url(self):
        host = "localhost" if self.scheme == "https" else "127.0.0.1"
        return f"{self.scheme}://{host}:{self.server.server_port}{API_PATH}"

    def installer_name(self):
        return f"{INSTALLER_PREFIX}{self.version}.msi"

    def installer_path(self):
        return f"/download/{self.installer_name()}"

    def answer(self, handler, head):
        if handler.path.startswith(API_PATH):
            self.answer_api(handler)
        elif handler.path == self.installer_path():
            self.answer_installer(handler, head)
        elif handler.path == f"/release/{self.installer_name()}":
            location = self.release_location or \
                f"{self.scheme}://127.0.0.1:{self.hops[1]}{self.installer_path()}"
            self.redirect(handler, 302, location)
        elif handler.path == "/proxy.pac":
            self.send(handler, 200, self.pac.encode(), "application/x-ns-proxy-autoconfig")
        else:
            self.send(handler, 404, b"")

    def send(self, handler, status, body, content_type="text/plain"):
        handler.send_response(status)
        handler.send_header("Content-Type", content_type)
        handler.send_header("Content-Length", str(len(body)))
        handler.end_headers()
        handler.wfile.write(body)

    def redirect(self, handler, status, location):
        handler.send_response(status)
        handler.send_header("Location", location)
        handler.send_header("Content-Length", "0")
        handler.end_headers()

    def answer_api(self, handler):
        if self.probe == "stall":
            self.stop_event.wait(120)
            return
        if self.probe == "garbage":
            handler.send_response(200)
            handler.send_header("Content-Type", "text/plain")
            handler.send_header("X-Request_Id", "zz_9f8e7d6c")
            handler.send_header("Content-Length", "0")
            handler.end_headers()
            return
        handler.send_response(self.probe_status if self.probe == "status" else 307)
        if self.probe == "huge":
            for line in range(16 * 1024):  # a megabyte of header lines
                handler.send_header(f"X-Pad-{line}", "x" * 48)
        if self.probe == "custom":
            for name, value in self.probe_headers:
                handler.send_header(name, value)
        elif self.hops:
            handler.send_header("Location", f"{self.scheme}://localhost:{self.hops[0]}/release/{self.installer_name()}")
        else:
            handler.send_header("Location", f"{self.scheme}://127.0.0.1:{self.server.server_port}{self.installer_path()}")
        handler.send_header("Content-Length", "0")
        handler.end_headers()

    def answer_installer(self, handler, head):
        first = [r for r in self.requests if r == ("GET", self.installer_path())] == [("GET", handler.path)]
        if handler.headers.get("Range"):
            self.ranges.append((handler.headers["Range"], handler.headers.get("If-Range")))
            if self.download == "cut" and handler.headers.get("If-Range") == '"klv-1"':
                start = int(handler.headers["Range"].removeprefix("bytes=").rstrip("-"))
                handler.send_response(206)
                handler.send_header("Content-Range", f"bytes {start}-{len(self.installer) - 1}/{len(self.installer)}")
                handler.send_header("Content-Length", str(len(self.installer) - start))
                handler.end_headers()
                handler.wfile.write(self.installer[start:])
                return
        # A peer that stalls or never answers does so once; the launcher's next attempt is told
        # that the installer is gone, which is not worth another.
        if self.download == "missing" or (self.download in ("stall", "silent") and not first and not head):
            self.send(handler, 404, b"" if head else b"not found")
            return
        if self.download == "silent":
            self.stop_event.wait(300)
            return
        if self.download == "loop":
            self.redirect(handler, 302, self.installer_path())
            return
        handler.send_response(200)
        handler.send_header("Content-Type", "application/x-msi")
        handler.send_header("Content-Length", str(len(self.installer)))
        if self.download == "cut":
            handler.send_header("Accept-Ranges", "bytes")
            handler.send_header("ETag", '"klv-1"')
        handler.end_headers()
        if head:
            return
        if self.download == "ok":
            started = time.monotonic()
            handler.wfile.write(self.installer)
            handler.wfile.flush()
            self.body_seconds.append(time.monotonic() - started)
        elif self.download in ("short", "cut"):
            handler.wfile.write(self.installer[: len(self.installer) // 2])
            handler.close_connection = True
        elif self.download == "stall":
            handler.wfile.write(self.installer[:4096])
            handler.wfile.flush()
            self.stop_event.wait(300)
        elif self.download in ("slow", "drip"):
            # slow: the whole installer in 16 pieces over about 5 s; drip: 1 KiB every 0.3 s
            # until the client goes away.
            pieces = 16 if self.download == "slow" else len(self.installer) // 1024
            size = -(-len(self.installer) // pieces)
            try:
                for start in range(0, len(self.installer), size):
                    handler.wfile.write(self.installer[start:start + size])
                    handler.wfile.flush()
                    if self.stop_event.wait(0.3):
                        return
            except OSError:
                self.closed_by_client.set()

    def close(self):
        self.stop_event.set()
        for server in self.servers:
            server.shutdown()
            server.server_close()


def close_listener(listener):
    """Closes a listening socket that another thread waits on in accept(): only a shutdown
    wakes that thread, and until then the port stays taken."""
    try:
        listener.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    listener.close()


class TcpPeer:
    """A listener on 127.0.0.1 (or host) that hands each connection to handle() on a thread of
    its own."""

    def __init__(self, port, host="127.0.0.1"):
        self.connections, self.stop_event = 0, threading.Event()
        self.listener = socket.create_server((host, port))
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while not self.stop_event.is_set():
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.connections += 1
            threading.Thread(target=self.handle, args=(connection,), daemon=True).start()

    def handle(self, connection):
        raise NotImplementedError

    def close(self):
        self.stop_event.set()
        close_listener(self.listener)


class RawService(TcpPeer):
    """A peer on a port that misbehaves below HTTP: "close" closes each connection at once,
    "silent" accepts and never answers, "handshake-cut" reads the TLS client hello and closes,
    "alert" answers it with a TLS alert (handshake failure)."""

    def __init__(self, port, mode):
        self.mode = mode
        super().__init__(port)

    def handle(self, connection):
        with connection:
            if self.mode == "silent":
                self.stop_event.wait(300)
                return
            if self.mode in ("handshake-cut", "alert"):
                connection.recv(4096)
            if self.mode == "alert":
                connection.sendall(bytes([0x15, 0x03, 0x03, 0x00, 0x02, 0x02, 0x28]))


class Proxy(TcpPeer):
    """A stand-in HTTP proxy that records the request line of everything it forwards: CONNECT
    tunnels for HTTPS, absolute URIs for HTTP. With refuse, it answers every request with 407."""

    def __init__(self, port, refuse=False, host="127.0.0.1"):
        self.refuse, self.requests, self.port = refuse, [], port
        super().__init__(port, host)

    def handle(self, client):
        with client:
            reader = client.makefile("rb")
            request = reader.readline().decode("latin-1").strip()
            headers = []
            while (line := reader.readline()) not in (b"\r\n", b"\n", b""):
                headers.append(line)
            self.requests.append(request)
            if self.refuse:
                client.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Negotiate\r\n"
                               b"Proxy-Authenticate: NTLM\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                return
            method, target, version = request.split(" ")
            if method == "CONNECT":
                host, port = target.rsplit(":", 1)
                upstream = socket.create_connection((host, int(port)))
                client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            else:
                parts = urllib.parse.urlsplit(target)
                upstream = socket.create_connection((parts.hostname, parts.port or 80))
                path = parts.path + ("?" + parts.query if parts.query else "")
                kept = [h for h in headers if not h.lower().startswith((b"proxy-", b"connection"))]
                upstream.sendall(f"{method} {path} {version}\r\n".encode() + b"".join(kept)
                                 + b"Connection: close\r\n\r\n")
            with upstream:
                # The client's side may already hold bytes in the reader's buffer: read1 gives
                # them first.
                pump = threading.Thread(target=self.pump, args=(reader, upstream), daemon=True)
                pump.start()
                self.pump(upstream.makefile("rb"), client)

    @staticmethod
    def pump(source, target):
        try:
            while chunk := source.read1(65536):
                target.sendall(chunk)
        except OSError:
            pass
        try:
            target.shutdown(socket.SHUT_WR)
        except OSError:
            pass


def port_is_free(port=SERVICE_PORT):
    with contextlib.closing(socket.socket()) as probe:
        return probe.connect_ex(("127.0.0.1", port)) != 0

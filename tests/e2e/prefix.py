"""A scratch Wine prefix per scenario, copied from a template made once per build folder, and
the launcher run in it with its boxes answered."""

import shutil
import struct
import subprocess
import tempfile
import time
from pathlib import Path

from rig import (APPLICATION_DIR, APPLICATION_KEY, AS_USER, BOXWATCH, BUILD_DIR, JAVAW, LAUNCHER, POLICY_KEY,
                 RUNTIME_RECORDS, RUNTIME_RECORDS_X64, USER_RUNTIME_RECORDS, _quiet_env, runtime_folder, windows_path)
from wine_trace import Box, Run, flashed_windows, parse_shell_calls


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

    def replace_file(self, windows_path, source):
        """Puts a copy of source in place of a file of the prefix. The file is a hard link to the
        template's, which every other scenario shares: writing through it would change theirs."""
        target = self.windows_to_unix(windows_path)
        target.unlink(missing_ok=True)
        shutil.copy(source, target)

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

    def install_runtime(self, dotted, arch="x86", for_user=False):
        """Writes the records the runtime's installer of that line leaves, and puts the stand-in
        javaw.exe (a 64-bit executable) into the runtime's folder. Returns the folder. for_user:
        as the installer's "just for me" leaves them, below the user's own program folder, with
        the records under HKCU, where both lines write."""
        folder = runtime_folder(dotted, arch)
        if for_user:
            user = next(p.name for p in self.windows_to_unix(r"C:\users").iterdir() if p.name != "Public")
            folder = rf"C:\users\{user}\AppData\Local\Programs\Eclipse Adoptium\jre-{dotted}-hotspot" + "\\"
        bin_dir = self.windows_to_unix(folder + "bin")
        bin_dir.mkdir(parents=True, exist_ok=True)
        shutil.copy(JAVAW, bin_dir / "javaw.exe")
        escaped = folder.replace("\\", "\\\\")
        records = USER_RUNTIME_RECORDS if for_user else RUNTIME_RECORDS if arch == "x86" else RUNTIME_RECORDS_X64
        self.import_registry([f"[{records}\\{dotted}\\hotspot\\MSI]", f'"Path"="{escaped}"'])
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
                     trace=True, elevated=False, launcher=LAUNCHER):
        """Runs the launcher and answers each message box with the next button of answers. Returns
        what happened, with the boxes in the order they appeared. A profile (a Windows path)
        replaces the user's profile folder that the launcher sees; once kill_when() is true, the
        launcher is killed, as when its console window is closed or the user logs off; on_tick()
        runs between looks for boxes. The launcher runs as a user without administrator rights
        (as-user), unless elevated: Wine gives every process an administrator's token. launcher is
        the executable to run, the default build's unless another line's is named."""
        answers = list(answers)
        trace_file = self.root / "trace.txt"
        started = time.monotonic()
        with open(trace_file, "w") as trace:
            # Wine traces every ShellExecuteEx call with its fields ("exec"), reports each
            # FlashWindowEx call that it accepts (a valid record for a live window) as a
            # semi-stub ("win"), and each event written with its strings ("eventlog", "advapi"),
            # so all three can be checked from outside.
            command = [windows_path(launcher)]
            if profile:
                command = [windows_path(BOXWATCH), "run", profile.encode().hex(), windows_path(launcher)]
            command = ["wine", *([] if elevated else [windows_path(AS_USER)]), *command]
            channels = "-all,trace+exec,fixme+win,trace+win,+eventlog,fixme+advapi" if trace else "-all"
            self.launcher = process = subprocess.Popen(command, env=self.env(WINEDEBUG=channels),
                                                       stdout=subprocess.DEVNULL, stderr=trace)
            boxes = []
            while process.poll() is None:
                assert time.monotonic() - started < timeout, "the launcher did not end in time"
                if on_tick:
                    on_tick()
                if kill_when and kill_when():
                    process.kill()
                    process.wait()
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
        return Run(process.returncode, seconds, started + seconds, boxes, parse_shell_calls(text), len(flashed), text)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)

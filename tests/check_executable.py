"""Checks the built launcher as Windows will see it: a PE32+ x86-64 console program that
imports only DLLs shipped with Windows, loads at start only those that every start needs, and
carries its manifest and version resource."""

import re
import struct
import subprocess
import sys
import unittest
from pathlib import Path

EXECUTABLE = Path(sys.argv.pop(1) if len(sys.argv) > 1 else "klv-launcher.exe")

WINDOWS_DLLS = {"advapi32.dll", "bcrypt.dll", "crypt32.dll", "kernel32.dll", "msvcrt.dll", "shell32.dll",
                "user32.dll", "ws2_32.dll", "secur32.dll", "iphlpapi.dll", "wldap32.dll", "ole32.dll",
                "wintrust.dll", "winhttp.dll"}
# What every start needs: the registry, the shell's start of javaw.exe, the message boxes.
LOADED_AT_START = {"advapi32.dll", "kernel32.dll", "msvcrt.dll", "shell32.dll", "user32.dll"}
# What only a check, a download or an installation needs, loaded at the first call.
LOADED_WHEN_FIRST_USED = {"bcrypt.dll": "BCryptHashData", "crypt32.dll": "CertGetNameStringA",
                          "ws2_32.dll": "WSAStartup"}
# Wine's own builds of the system DLLs, whose export tables the delay imports are held against.
WINE_DLLS = Path("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows")
SUPPORTED_OS = {
    "Vista": "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
    "7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "10": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


def exported_names(dll):
    """The names a DLL exports, from its export table as objdump prints it."""
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(dll)], check=True, capture_output=True,
                          text=True).stdout
    table = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    return set(re.findall(r"\]\s+(\S+)", table))


def delay_imports(image):
    """Each delay-loaded DLL of a PE32+ image with the functions asked of it. The descriptors are
    found by their shape (the linker leaves the data directory's entry empty): attributes 1,
    then the RVAs of the DLL's name, its handle, its address and its name tables, time stamp 0."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional = struct.unpack_from("<H", image, header + 6)[0], struct.unpack_from("<H", image, header + 20)[0]
    sections = [struct.unpack_from("<IIII", image, header + 24 + optional + 40 * i + 8) for i in range(count)]
    offset = lambda rva: next((raw + rva - at for size, at, length, raw in sections
                               if at <= rva < at + min(size, length)), None)  # noqa: E731
    text = lambda rva: image[offset(rva):image.index(b"\0", offset(rva))].decode("latin-1")  # noqa: E731
    found = {}
    for at in range(0, len(image) - 32, 4):
        attributes, name, module, iat, names, _, _, stamp = struct.unpack_from("<8I", image, at)
        if attributes != 1 or stamp or not (module and iat) or None in (offset(name), offset(names)):
            continue
        if text(name).lower().endswith(".dll"):
            functions, thunk = [], offset(names)
            while entry := struct.unpack_from("<Q", image, thunk)[0]:
                functions.append(text(entry + 2))  # past the hint
                thunk += 8
            found[text(name).lower()] = functions
    return found


class Executable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(EXECUTABLE)], check=True,
                                     capture_output=True, text=True).stdout
        cls.image = EXECUTABLE.read_bytes()

    def test_is_a_64_bit_console_program(self):
        self.assertIn("file format pei-x86-64", self.headers)
        self.assertRegex(self.headers, r"Magic\s+020b\s+\(PE32\+\)")
        self.assertRegex(self.headers, r"Subsystem\s+00000003\s+\(Windows CUI\)")

    def test_imports_only_dlls_that_ship_with_windows_and_late_what_only_a_check_needs(self):
        imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", self.headers)}
        self.assertEqual(imported, LOADED_AT_START)
        late = delay_imports(self.image)
        self.assertEqual(set(late), set(LOADED_WHEN_FIRST_USED))
        for dll, function in LOADED_WHEN_FIRST_USED.items():
            self.assertIn(function, late[dll], dll)
            # Only names the DLL exports: a call to any other goes to the failing stand-in.
            self.assertLessEqual(set(late[dll]), exported_names(WINE_DLLS / dll), dll)
        self.assertLessEqual(imported | set(late), WINDOWS_DLLS)

    def test_carries_the_manifest(self):
        manifest = re.search(rb"<assembly.*?</assembly>", self.image, re.S)
        self.assertIsNotNone(manifest)
        text = manifest.group(0).decode()
        self.assertIn('<requestedExecutionLevel level="asInvoker" uiAccess="false"/>', text)
        for system, guid in SUPPORTED_OS.items():
            self.assertIn(f'<supportedOS Id="{guid}"/>', text, system)
        self.assertRegex(text, r'<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" '
                               r'version="6.0.0.0"\s+processorArchitecture="\*" publicKeyToken="6595b64144ccf1df"')
        self.assertIn('<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>', text)
        self.assertIn('<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, '
                      'PerMonitor</dpiAwareness>', text)
        self.assertRegex(text, r'<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">'
                               r'UTF-8</activeCodePage>')
        self.assertIn('<consoleAllocationPolicy xmlns="http://schemas.microsoft.com/SMI/2024/WindowsSettings">'
                      'detached</consoleAllocationPolicy>', text)

    def test_carries_a_version_resource(self):
        for field in ("FileVersion", "ProductName", "OriginalFilename", "klv-launcher.exe"):
            self.assertIn(field.encode("utf-16-le"), self.image)
        self.assertIn(b"\xbd\x04\xef\xfe", self.image)  # VS_FIXEDFILEINFO signature


if __name__ == "__main__":
    unittest.main(verbosity=2)

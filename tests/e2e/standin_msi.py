"""Builds stand-in runtime installers with wixl: real MSI packages for 32-bit (or, like the
64-bit line's, 64-bit) Windows that install the stand-in javaw.exe and leave the runtime's
registry records, or that fail. They are
Authenticode-signed with osslsigncode and a throw-away certificate made here, unless asked
not to be."""

import contextlib
import fcntl
import os
import shutil
import subprocess
import uuid

import rig

_TEMPLATE = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Stand-in Temurin JRE {dotted}" Language="1033" Version="{msi_version}"
           Manufacturer="KLV tests" UpgradeCode="{upgrade}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="jre.cab" EmbedCab="yes"/>
    <Property Id="REBOOT" Value="ReallySuppress"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="{program_files}">
        <Directory Id="AdoptiumDir" Name="Eclipse Adoptium">
          <Directory Id="INSTALLDIR" Name="jre-{dotted}-hotspot">
            <Directory Id="BinDir" Name="bin">
              <Component Id="Javaw"{win64} Guid="{guid1}">
                <File Id="JavawExe" Name="javaw.exe" Source="{javaw}" KeyPath="yes"/>
              </Component>
              <Component Id="Step"{win64} Guid="{guid2}">
                <File Id="StepExe" Name="exit-with.exe" Source="{exit_with}" KeyPath="yes"/>
              </Component>
            </Directory>
            <Component Id="Records"{win64} Guid="{guid3}">
              <RegistryValue Root="HKLM" Key="SOFTWARE\\Eclipse Adoptium\\JRE\\{dotted}\\hotspot\\MSI" Name="Path"
                             Type="string" Value="[INSTALLDIR]" KeyPath="yes"/>
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Runtime" Level="1">
      <ComponentRef Id="Javaw"/>
      <ComponentRef Id="Step"/>
      <ComponentRef Id="Records"/>
    </Feature>
    <CustomAction Id="FinalStep" FileKey="StepExe" ExeCommand="{step_exit_code}" Return="check"
                  Execute="deferred" Impersonate="no"/>
    <InstallExecuteSequence>
      <Custom Action="FinalStep" Sequence="6500">{fail_condition}</Custom>
      {reboot}
    </InstallExecuteSequence>
  </Product>
</Wix>
"""

OUTCOMES = ("installs", "reboot", "fails", "changes-package")


PUBLISHER = "Eclipse.org Foundation, Inc."


def signing_certificate(organisation=PUBLISHER):
    """A code-signing certificate for organisation and its key, issued by a throw-away test root
    and made once per build folder; the chain file holds both certificates."""
    root, root_key = rig.MSI_DIR / "root.pem", rig.MSI_DIR / "root-key.pem"
    if not root.exists():
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", root_key, "-out", root,
                        "-days", "3650", "-subj", "/CN=KLV test root", "-addext", "basicConstraints=critical,CA:TRUE"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    name = organisation.split(".")[0].split(",")[0].lower()
    chain, key, request = (rig.MSI_DIR / f"signer-{name}{suffix}" for suffix in (".pem", "-key.pem", ".csr"))
    if not chain.exists():
        subprocess.run(["openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request,
                        "-subj", f"/CN=KLV test signer/O={organisation}"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        extensions = rig.MSI_DIR / "signer.ext"
        extensions.write_text("extendedKeyUsage=codeSigning\n")
        leaf = subprocess.run(["openssl", "x509", "-req", "-in", request, "-CA", root, "-CAkey", root_key,
                               "-CAcreateserial", "-days", "3650", "-extfile", extensions],
                              check=True, capture_output=True).stdout
        chain.write_bytes(leaf + root.read_bytes())
    return chain, key


_held = False


@contextlib.contextmanager
def _one_builder():
    """Scenarios run side by side share the packages: one process at a time builds them."""
    global _held
    if _held:
        yield
        return
    rig.MSI_DIR.mkdir(parents=True, exist_ok=True)
    with open(rig.MSI_DIR / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        _held = True
        try:
            yield
        finally:
            _held = False


def build(dotted, outcome="installs", signed=True, publisher=PUBLISHER, arch="x86"):
    with _one_builder():
        return _build(dotted, outcome, signed, publisher, arch)


def _build(dotted, outcome, signed, publisher, arch):
    """The path of an installer for the dotted version: "installs" ends with exit code 0,
    "reboot" installs and asks for a restart (3010), "fails" rolls back and ends non-zero,
    "changes-package" installs after trying to write to and delete the package it runs from
    (C:\\write-attempt.txt tells how that went)."""
    assert outcome in OUTCOMES
    rig.MSI_DIR.mkdir(parents=True, exist_ok=True)
    signer = publisher.split(".")[0].split(",")[0].lower() if signed else "unsigned"
    msi = rig.MSI_DIR / f"jre-{dotted}-{arch}-{outcome}-{signer}.msi"
    # Reused while the helpers it packages are unchanged.
    if msi.exists() and msi.stat().st_mtime >= max(rig.JAVAW.stat().st_mtime, rig.EXIT_WITH.stat().st_mtime):
        return msi
    if signed:
        cert, key = signing_certificate(publisher)
        unsigned = _build(dotted, outcome, False, publisher, arch)
        # osslsigncode never overwrites, and a stale package must give way to the new one whole.
        signing = msi.with_suffix(".signing")
        signing.unlink(missing_ok=True)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", unsigned, "-out", signing],
                       check=True, stdout=subprocess.DEVNULL)
        os.replace(signing, msi)
        return msi
    names = uuid.uuid5(uuid.NAMESPACE_URL, f"klv-standin-{dotted}-{outcome}" + ("" if arch == "x86" else f"-{arch}"))
    # wixl looks for the packaged files beside the source, by relative name.
    shutil.copy(rig.JAVAW, rig.MSI_DIR / "javaw.exe")
    shutil.copy(rig.EXIT_WITH, rig.MSI_DIR / "exit-with.exe")
    wxs = msi.with_suffix(".wxs")
    wxs.write_text(_TEMPLATE.format(
        dotted=dotted, msi_version=dotted, program_files="ProgramFilesFolder" if arch == "x86" else "ProgramFiles64Folder",
        win64="" if arch == "x86" else ' Win64="yes"', upgrade=uuid.uuid5(names, "upgrade"),
        guid1=uuid.uuid5(names, "javaw"), guid2=uuid.uuid5(names, "step"), guid3=uuid.uuid5(names, "records"),
        javaw="javaw.exe", exit_with="exit-with.exe",
        step_exit_code='0 &quot;[OriginalDatabase]&quot;' if outcome == "changes-package" else "7",
        fail_condition="0" if outcome in ("installs", "reboot") else "1",
        reboot='<ScheduleReboot After="InstallFinalize"/>' if outcome == "reboot" else ""))
    subprocess.run(["wixl", "-a", arch, "-o", msi.name, wxs.name], cwd=rig.MSI_DIR, check=True,
                   stdout=subprocess.DEVNULL)
    return msi

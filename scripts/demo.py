"""Runs the launcher under Wine against the stand-in release service and prints what it saw,
what it started and how it ended."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import rig  # noqa: E402
import standin_msi  # noqa: E402


def run_and_report(prefix, service, **launch):
    print(f"  runtime records before:    {prefix.registry_subkeys(rig.RUNTIME_RECORDS) or 'none'}")
    print(f"  release service offers:    {service.version}")
    run = prefix.run_launcher(**launch)
    for box in run.boxes:
        print(f"  message box:               [{box.caption}] {box.text}")
    for call in run.shell_calls:
        print(f"  shell start:               verb={call.verb} file={call.file}")
        print(f"                             parameters={call.parameters}")
        print(f"                             directory={call.directory}")
    record = prefix.javaw_record(wait_seconds=5)
    if record:
        print(f"  javaw.exe reported:        {record['commandline']} (in {record['directory']}, "
              f"elevated: {record['elevated']})")
    print(f"  runtime records after:     {prefix.registry_subkeys(rig.RUNTIME_RECORDS) or 'none'}")
    print(f"  launcher exit code:        {run.exit_code} after {run.seconds:.1f} s")


def installed_runtime_is_newest(display):
    print("Scenario: runtime 8.0.472.8 installed, the service offers 8u472b08")
    prefix = rig.Prefix(display)
    service = rig.ReleaseService("8u472b08")
    try:
        prefix.install_application()
        prefix.install_runtime("8.0.472.8")
        run_and_report(prefix, service)
    finally:
        service.close()
        prefix.close()


def first_installation(display):
    print("Scenario: no runtime installed, the service offers 8u472b08; the user answers Yes")
    prefix = rig.Prefix(display)
    service = rig.ReleaseService("8u472b08")
    screenshot = rig.ARTIFACTS / "demo" / "first-installation-question.png"
    try:
        prefix.install_application()
        service.installer = standin_msi.build("8.0.472.8").read_bytes()
        run_and_report(prefix, service, answers=["yes"], on_box=lambda box: display.screenshot(screenshot))
        print(f"  downloads by the service:  {[path for method, path in service.requests if method == 'GET']}")
        print(f"  Downloads folder after:    {prefix.downloads() or 'empty'}")
        print(f"  screenshot of the question: {screenshot}")
    finally:
        service.close()
        prefix.close()


def main():
    if not rig.port_is_free():
        sys.exit(f"port {rig.SERVICE_PORT} on 127.0.0.1 is taken; the stand-in release service needs it")
    display = rig.Display()
    try:
        installed_runtime_is_newest(display)
        print()
        first_installation(display)
    finally:
        display.close()


if __name__ == "__main__":
    main()

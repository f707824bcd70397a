"""Runs the end-to-end scenarios two at a time. Each test runs in a network namespace of its own
(unshare -n), so that its stand-in service, proxy and peers have the fixed loopback ports to
themselves, with its own Xvfb display and Wine prefix. What they share (the template prefix, the
TLS certificate, the packages) is made before, or under a lock. Where namespaces cannot be made
(no administrator rights), the tests run one after another. Exits non-zero when a test fails."""

import concurrent.futures
import os
import subprocess
import sys
import threading
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import rig  # noqa: E402
import scenario  # noqa: E402
import standin_service  # noqa: E402

WORKERS = int(os.environ.get("KLV_E2E_WORKERS", "2"))
ISOLATED = ["unshare", "--net", "--", "sh", "-c", 'ip link set lo up && exec "$@"', "isolated"]


def test_ids(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from test_ids(item)
        else:
            yield item.id()


def can_isolate():
    return subprocess.run([*ISOLATED, "true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def main():
    ids = list(test_ids(unittest.TestLoader().discover(str(HERE), pattern="test_*.py")))
    # Made once, before the workers start: the template prefix and the certificate.
    scenario.display()
    standin_service.tls_certificate()
    workers = WORKERS if can_isolate() else 1
    prefix = ISOLATED if workers > 1 else []
    print(f"end-to-end: {len(ids)} tests, {workers} at a time", flush=True)
    lock, failed, started = threading.Lock(), [], time.monotonic()

    def run(test_id):
        begun = time.monotonic()
        result = subprocess.run([*prefix, sys.executable, "-m", "unittest", "-v", test_id], cwd=HERE,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        with lock:
            status = "ok" if result.returncode == 0 else "FAILED"
            print(f"{test_id} ... {status} ({time.monotonic() - begun:.0f} s)", flush=True)
            if result.returncode != 0:
                failed.append(test_id)
                print(result.stdout, flush=True)

    with concurrent.futures.ThreadPoolExecutor(workers) as pool:
        list(pool.map(run, ids))
    print(f"end-to-end: {len(ids) - len(failed)} of {len(ids)} passed in {time.monotonic() - started:.0f} s",
          flush=True)
    for test_id in failed:
        print(f"FAILED: {test_id}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

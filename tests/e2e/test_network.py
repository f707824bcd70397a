"""The real network end to end: HTTPS through Schannel with the real service's redirect chain,
the user's Windows proxy settings, and a hostile release service. The launcher is pointed at
the HTTPS stand-ins through the administrators' ReleaseServiceUrl policy."""

import unittest

import rig
import scenario
import standin_msi
from box_texts import TEXTS

ENGLISH = TEXTS["en"]
HTTPS_PORT, RELEASE_PORT, CONTENT_PORT = rig.SERVICE_PORT + 1, rig.SERVICE_PORT + 2, rig.SERVICE_PORT + 3
RAW_PORT, PROXY_PORT, OLD_TLS_PORT = rig.SERVICE_PORT + 4, rig.SERVICE_PORT + 5, rig.SERVICE_PORT + 6
CLOSED_PORT = rig.SERVICE_PORT + 7


class NetworkScenario(scenario.Scenario):
    def setUp(self):
        super().setUp()
        self.service.installer = standin_msi.build("8.0.472.8").read_bytes()

    def https_service(self, **kwargs):
        service = rig.ReleaseService(self.offered, port=HTTPS_PORT, tls="1.2", hops=(RELEASE_PORT, CONTENT_PORT),
                                     **kwargs)
        self.addCleanup(service.close)
        service.installer = self.service.installer
        self.prefix.set_policy(ReleaseServiceUrl=service.url())
        return service

    def use_service_at(self, url):
        self.prefix.set_policy(ReleaseServiceUrl=url)

    def start(self, peer):
        self.addCleanup(peer.close)
        return peer

    def assertInstallsAndStarts(self):
        """No runtime installed: the question, Yes, and the new runtime starts."""
        run = self.prefix.run_launcher(answers=["yes"])
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [ENGLISH["noJava"]])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, rig.runtime_folder("8.0.472.8"))
        self.assertEqual(self.prefix.downloads(), [])
        return run

    def assertNoVersionLearnt(self, limit=30):
        """An older runtime installed: without a version from the service, no question is asked
        and the installed runtime starts, in bounded time."""
        folder = self.prefix.install_runtime("8.0.422.5")
        run = self.prefix.run_launcher(timeout=60)
        self.assertEqual(run.boxes, [])
        self.assertEqual(run.exit_code, 0)
        self.assertStarted(run, folder)
        self.assertLess(run.seconds, limit)
        return run

    def assertDownloadNeverRun(self, timeout=120):
        """No runtime installed, Yes: the download fails, nothing is run, nothing is left."""
        run = self.prefix.run_launcher(answers=["yes", "ok"], timeout=timeout)
        self.assertEqual([(box.caption, box.text) for box in run.boxes], [ENGLISH["noJava"], ENGLISH["errorJava"]])
        self.assertEqual(run.exit_code, 1)
        self.assertEqual([c for c in run.shell_calls if c.file.lower().endswith("msiexec.exe")], [])
        self.assertEqual(self.prefix.downloads(), [])
        return run


class Https(NetworkScenario):
    def test_probe_download_and_installation_over_tls_through_two_redirects(self):
        service = self.https_service()
        self.assertInstallsAndStarts()
        name = service.installer_name()
        self.assertEqual(service.requests, [("HEAD", rig.API_PATH), ("GET", rig.API_PATH),
                                            ("GET", f"/release/{name}"), ("GET", f"/download/{name}")])
        self.assertEqual(service.agents, {"klv-launcher/1.0.0"})
        self.assertEqual(self.service.requests, [])

    def test_a_redirect_from_https_to_http_is_refused(self):
        self.https_service().release_location = \
            f"http://127.0.0.1:{rig.SERVICE_PORT}{self.service.installer_path()}"
        self.assertDownloadNeverRun()
        self.assertEqual(self.service.requests, [])

    def test_a_server_that_offers_only_tls_1_0_is_refused(self):
        self.start(rig.ReleaseService(self.offered, port=OLD_TLS_PORT, tls="1.0"))
        self.use_service_at(f"https://localhost:{OLD_TLS_PORT}{rig.API_PATH}")
        self.assertNoVersionLearnt()

    def test_tls_failures_give_no_version(self):
        for failure in ("plain-http", "handshake-cut", "alert"):
            with self.subTest(failure=failure):
                if failure == "plain-http":
                    self.use_service_at(f"https://127.0.0.1:{rig.SERVICE_PORT}{rig.API_PATH}")
                else:
                    peer = self.start(rig.RawService(RAW_PORT, failure))
                    self.use_service_at(f"https://127.0.0.1:{RAW_PORT}{rig.API_PATH}")
                self.assertNoVersionLearnt()
                if failure != "plain-http":
                    self.assertGreater(peer.connections, 0)
                    peer.close()

    def test_a_download_over_a_failed_tls_connection_is_never_run(self):
        self.start(rig.RawService(RAW_PORT, "alert"))
        self.https_service().release_location = f"https://127.0.0.1:{RAW_PORT}{self.service.installer_path()}"
        self.assertDownloadNeverRun()


class UsersProxy(NetworkScenario):
    def test_a_fixed_proxy_carries_the_probe_and_the_download(self):
        proxy = self.start(rig.Proxy(PROXY_PORT))
        self.https_service()
        self.prefix.set_proxy_settings(proxy=f"127.0.0.1:{PROXY_PORT}")
        self.assertInstallsAndStarts()
        self.assertEqual(proxy.requests, [f"CONNECT localhost:{HTTPS_PORT} HTTP/1.1"] * 2
                         + [f"CONNECT localhost:{RELEASE_PORT} HTTP/1.1", f"CONNECT 127.0.0.1:{CONTENT_PORT} HTTP/1.1"])

    def test_the_per_scheme_form_picks_the_https_proxy(self):
        proxy = self.start(rig.Proxy(PROXY_PORT))
        self.https_service()
        self.prefix.set_proxy_settings(proxy=f"http=127.0.0.1:{CLOSED_PORT};https=127.0.0.1:{PROXY_PORT}")
        self.assertInstallsAndStarts()
        self.assertIn(f"CONNECT localhost:{HTTPS_PORT} HTTP/1.1", proxy.requests)

    def test_a_plain_http_service_goes_through_the_proxy_by_absolute_uri(self):
        proxy = self.start(rig.Proxy(PROXY_PORT))
        self.prefix.set_proxy_settings(proxy=f"127.0.0.1:{PROXY_PORT}")
        self.assertInstallsAndStarts()
        self.assertEqual(proxy.requests[0], f"HEAD http://127.0.0.1:{rig.SERVICE_PORT}{rig.API_PATH} HTTP/1.1")

    def test_a_bypassed_service_goes_direct(self):
        proxy = self.start(rig.Proxy(PROXY_PORT))
        self.https_service()
        self.prefix.set_proxy_settings(proxy=f"127.0.0.1:{PROXY_PORT}", bypass="*.example;localhost;127.0.0.1")
        self.assertInstallsAndStarts()
        self.assertEqual(proxy.requests, [])

    def test_a_configuration_script_names_the_proxy(self):
        proxy = self.start(rig.Proxy(PROXY_PORT))
        self.https_service()
        self.service.pac = 'function FindProxyForURL(url, host) { return "PROXY 127.0.0.1:%d"; }' % PROXY_PORT
        self.prefix.set_proxy_settings(script=f"http://127.0.0.1:{rig.SERVICE_PORT}/proxy.pac")
        self.assertInstallsAndStarts()
        self.assertIn(("GET", "/proxy.pac"), self.service.requests)
        self.assertIn(f"CONNECT localhost:{HTTPS_PORT} HTTP/1.1", proxy.requests)

    def test_the_proxy_environment_variables_take_precedence(self):
        proxy = self.start(rig.Proxy(PROXY_PORT))
        self.prefix.set_proxy_settings(proxy=f"127.0.0.1:{CLOSED_PORT}")
        self.prefix.extra_env["http_proxy"] = f"http://127.0.0.1:{PROXY_PORT}"
        self.assertInstallsAndStarts()
        self.assertEqual(len(proxy.requests), 3)

    def test_a_proxy_named_without_a_port_is_on_port_80(self):
        proxy = self.start(rig.Proxy(80, host="127.0.0.2"))
        self.https_service()
        self.prefix.set_proxy_settings(proxy="https=127.0.0.2")
        self.assertInstallsAndStarts()
        self.assertIn(f"CONNECT localhost:{HTTPS_PORT} HTTP/1.1", proxy.requests)

    def test_http_proxy_of_the_environment_leaves_an_https_service_to_the_windows_settings(self):
        proxy = self.start(rig.Proxy(PROXY_PORT))
        self.https_service()
        self.prefix.set_proxy_settings(proxy=f"127.0.0.1:{PROXY_PORT}")
        self.prefix.extra_env["http_proxy"] = f"http://127.0.0.1:{CLOSED_PORT}"
        self.assertInstallsAndStarts()
        self.assertIn(f"CONNECT localhost:{HTTPS_PORT} HTTP/1.1", proxy.requests)

    def test_a_script_server_that_never_answers_costs_the_start_at_most_the_probes_time(self):
        self.start(rig.RawService(RAW_PORT, "silent"))
        self.prefix.set_proxy_settings(script=f"http://127.0.0.1:{RAW_PORT}/proxy.pac")
        folder = self.prefix.install_runtime("8.0.472.8")
        run = self.prefix.run_launcher(timeout=60)
        self.assertEqual(run.boxes, [])
        self.assertStarted(run, folder)
        self.assertLess(run.seconds, 8)
        # Given up, the script's look-up left the probe time to go direct.
        self.assertEqual(self.service.requests, [("HEAD", rig.API_PATH)])

    def test_a_proxy_that_refuses_or_is_down_ends_like_an_unreachable_service(self):
        self.start(rig.Proxy(PROXY_PORT, refuse=True))
        for port in (PROXY_PORT, CLOSED_PORT):
            with self.subTest(port=port):
                self.prefix.set_proxy_settings(proxy=f"127.0.0.1:{port}")
                self.assertNoVersionLearnt(limit=15)
                self.assertEqual(self.service.requests, [])


# Hostile answers to the header-only request: (name, probe mode, headers of a "custom" redirect
# or the status of a "status" one). None of them gives a version, so with an older runtime
# installed nothing is asked and that runtime starts.
HOSTILE_PROBES = [
    ("dot-dot", "custom", [("Location", "http://127.0.0.1/x_8u472b08/../../evil.msi")]),
    ("backslash", "custom", [("Location", r"http://127.0.0.1/x_8u472b08\..\evil.msi")]),
    ("slash", "custom", [("Location", "http://127.0.0.1/x_8u472/b08.msi")]),
    ("colon", "custom", [("Location", "http://127.0.0.1/x_C:8u472b08.msi")]),
    ("cr-lf", "custom", [("Location", "http://127.0.0.1/x_8u472\r\nX-Injected: b08.msi")]),
    ("spaces", "custom", [("Location", "http://127.0.0.1/x_8u472 b08.msi")]),
    ("many-msi-and-underscores", "custom", [("Location", "http://127.0.0.1/_8u472b08.msi_.msi__8u472b08.msi.msi")]),
    ("a-megabyte-of-headers", "huge", None),
    ("200-without-redirect", "status", 200),
    ("404", "status", 404),
    ("405", "status", 405),
    ("500", "status", 500),
]


class HostileService(NetworkScenario):
    def test_hostile_probe_answers_give_no_version(self):
        for name, mode, detail in HOSTILE_PROBES:
            with self.subTest(name=name):
                self.service.probe = mode
                if mode == "custom":
                    self.service.probe_headers = detail
                elif mode == "status":
                    self.service.probe_status = detail
                self.assertNoVersionLearnt()
                self.assertEqual(self.prefix.downloads(), [])

    def test_peers_that_close_at_once_or_never_answer_the_probe(self):
        for mode in ("close", "silent"):
            with self.subTest(mode=mode):
                peer = self.start(rig.RawService(RAW_PORT, mode))
                self.use_service_at(f"http://127.0.0.1:{RAW_PORT}{rig.API_PATH}")
                self.assertNoVersionLearnt()
                peer.close()

    def test_hostile_downloads_are_never_run(self):
        # A redirect loop, a peer that closes at once, and one that never answers.
        self.service.download = "loop"
        self.assertDownloadNeverRun()
        self.service.download = "ok"
        self.start(rig.RawService(RAW_PORT, "close"))
        https = self.https_service()
        https.release_location = f"https://127.0.0.1:{RAW_PORT}{self.service.installer_path()}"
        self.assertDownloadNeverRun()
        https.download = "silent"
        https.release_location = None
        run = self.assertDownloadNeverRun(timeout=180)
        self.assertGreater(run.seconds, 55)


if __name__ == "__main__":
    unittest.main()

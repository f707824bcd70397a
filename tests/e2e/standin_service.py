"""A stand-in of the release service: the redirect that names the newest installer, the
installer's body in the ways a real network sends it, and HTTPS with a throw-away certificate."""

import http.server
import ssl
import subprocess
import threading
import time

from rig import API_PATHS, BUILD_DIR, INSTALLER_PREFIXES, SERVICE_PORT


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
    every port speaks HTTPS only (TLS 1.2 or newer, or only TLS 1.0). It answers the path of one
    runtime line (arch), as the real service names that line's installers."""

    def __init__(self, version="8u472b08", port=SERVICE_PORT, tls=None, hops=(), arch="x86"):
        self.version = version
        self.api_path = API_PATHS[arch]
        self.installer_prefix = INSTALLER_PREFIXES[arch]
        self.probe = "redirect"   # redirect | garbage | custom | stall | status | huge
        self.probe_headers = []   # for "custom": (name, value) pairs of the redirect
        self.probe_status = 307   # for "status": the status of an otherwise good redirect
        self.probe_extra = []     # (name, value) pairs added to every answer of the probe
        self.probe_delay = 0      # seconds the probe's answer takes
        self.probe_answered = []  # when each answer of the probe went out (time.time)
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
        return f"{self.scheme}://{host}:{self.server.server_port}{self.api_path}"

    def installer_name(self):
        return f"{self.installer_prefix}{self.version}.msi"

    def installer_path(self):
        return f"/download/{self.installer_name()}"

    def answer(self, handler, head):
        if handler.path.startswith(self.api_path):
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
        if self.probe_delay:
            self.stop_event.wait(self.probe_delay)
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
        for name, value in self.probe_extra:
            handler.send_header(name, value)
        handler.send_header("Content-Length", "0")
        handler.end_headers()
        self.probe_answered.append(time.time())

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

"""The other peers on the test network: raw listeners that misbehave below HTTP, a stand-in
HTTP proxy, and a real nginx as a mirror that redirects."""

import contextlib
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import urllib.parse

from pathlib import Path

from rig import SERVICE_PORT


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


class NginxRedirect:
    """Debian's nginx on 127.0.0.1:port, answering every request below /mirror/ with
    `return 302 location`: a redirect with a small HTML body, as real mirrors send it."""

    def __init__(self, port, location):
        self.folder = Path(tempfile.mkdtemp(prefix="klv-nginx-"))
        files = {kind: self.folder / kind for kind in ("pid", "error_log", "access_log")}
        temp = " ".join(f"{kind}_temp_path {self.folder / kind};" for kind in ("client_body", "proxy", "fastcgi",
                                                                                 "uwsgi", "scgi"))
        (self.folder / "nginx.conf").write_text(
            f"daemon off; pid {files['pid']}; error_log {files['error_log']}; events {{}}\n"
            f"http {{ access_log {files['access_log']}; {temp}\n"
            f"  server {{ listen 127.0.0.1:{port}; location /mirror/ {{ return 302 {location}; }} }} }}\n")
        self.process = subprocess.Popen(["nginx", "-c", str(self.folder / "nginx.conf")],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while port_is_free(port):
            assert self.process.poll() is None and time.monotonic() < deadline, "nginx did not start"
            time.sleep(0.1)

    def close(self):
        self.process.terminate()
        self.process.wait(10)
        shutil.rmtree(self.folder, ignore_errors=True)

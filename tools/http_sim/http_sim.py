#!/usr/bin/env python3
"""Scriptable loopback HTTP/HTTPS server with recording HTTP and SOCKS5 proxies.

Every listener binds to --bind (127.0.0.1 by default); port 0 picks a free
port. Once all listeners are up, one JSON line with the chosen ports is
printed on standard output (and written to --ready-file):
    {"http": 40001, "https": 40002, "http_proxy": 40003, "socks5": 40004}

Responses are scripted per request by query parameters of the request path,
or per path by a routes file (JSON object: path -> parameters); query
parameters win over the route:
    status=N          status code (200)
    ctype=TEXT        Content-Type value ("text/html"); "none" sends none
    size=N            body of N filler bytes
    body=TEXT         body text (instead of size)
    header=Name:Value extra header line, repeatable
    delay=SECONDS     wait before answering
    reset=1           close the connection with a reset, answer nothing
    gzip=1            gzip the body when the request accepts gzip
    echo=1            body is the raw request received

Every request is appended to --log as one JSON object per line:
    {"server": "http"|"https", "client": "ip:port", "method", "target",
     "header_lines": [...], "body": "..."}
    {"server": "http_proxy", ... same fields, "upstream": port}
    {"server": "socks5", "client", "atyp": 1|3|4, "host", "port"}
Proxies only ever connect to 127.0.0.1: a request for any other address is
recorded and then served by the same port on 127.0.0.1.
"""

import argparse
import gzip
import json
import os
import socket
import socketserver
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

MAX_HEADER_BYTES = 65536
MAX_BODY_BYTES = 16 * 1024 * 1024
RELAY_CHUNK = 65536
SOCKET_TIMEOUT = 30
LOOPBACK = "127.0.0.1"
REASONS = {200: "OK", 301: "Moved Permanently", 302: "Found", 404: "Not Found",
           408: "Request Timeout", 500: "Internal Server Error"}


class Recorder:
    """Appends one JSON line per event; shared by all handler threads."""

    def __init__(self, path):
        self.lock = threading.Lock()
        self.fp = open(path, "a", encoding="utf-8") if path else None

    def write(self, event):
        if self.fp is None:
            return
        event["time"] = time.time()
        with self.lock:
            self.fp.write(json.dumps(event) + "\n")
            self.fp.flush()


class Request:
    def __init__(self, method, target, version, header_lines, body, raw):
        self.method = method
        self.target = target
        self.version = version
        self.header_lines = header_lines
        self.body = body
        self.raw = raw

    def header(self, name):
        for line in self.header_lines:
            key, _, value = line.partition(":")
            if key.strip().lower() == name.lower():
                return value.strip()
        return None


def read_request(rfile):
    """One request from a buffered socket file; None at a clean end."""
    head = b""
    while not head.endswith(b"\r\n\r\n"):
        line = rfile.readline(MAX_HEADER_BYTES)
        if not line:
            return None
        if head == b"" and line in (b"\r\n", b"\n"):
            continue
        head += line
        if len(head) > MAX_HEADER_BYTES:
            return None
    lines = head.decode("latin-1").split("\r\n")
    parts = lines[0].split(" ")
    if len(parts) != 3:
        return None
    header_lines = [line for line in lines[1:] if line]
    req = Request(parts[0], parts[1], parts[2], header_lines, b"", head)
    length = int(req.header("Content-Length") or 0)
    if length < 0 or length > MAX_BODY_BYTES:
        return None
    req.body = rfile.read(length) if length else b""
    req.raw = head + req.body
    return req


def reset_connection(sock):
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


class Script:
    """The response parameters of one request."""

    def __init__(self, routes, target):
        url = urllib.parse.urlsplit(target)
        params = {}
        for key, value in routes.get(url.path, {}).items():
            params[key] = value if isinstance(value, list) else [str(value)]
        params.update(urllib.parse.parse_qs(url.query, keep_blank_values=True))
        self.params = params

    def get(self, key, default=None):
        values = self.params.get(key)
        return values[-1] if values else default

    def all(self, key):
        return self.params.get(key, [])


def build_response(script, req):
    status = int(script.get("status", "200"))
    if script.get("echo") == "1":
        body = req.raw
    elif script.get("body") is not None:
        body = script.get("body").encode("latin-1")
    else:
        body = b"a" * int(script.get("size", "0"))
    headers = []
    ctype = script.get("ctype", "text/html")
    if ctype != "none":
        headers.append("Content-Type: " + ctype)
    accept = (req.header("Accept-Encoding") or "").lower()
    if script.get("gzip") == "1" and "gzip" in accept:
        body = gzip.compress(body)
        headers.append("Content-Encoding: gzip")
    headers.extend(script.all("header"))
    headers.append("Content-Length: %d" % len(body))
    if req.method == "HEAD":
        body = b""
    reason = REASONS.get(status, "Status")
    head = "HTTP/1.1 %d %s\r\n%s\r\n\r\n" % (status, reason, "\r\n".join(headers))
    return head.encode("latin-1") + body


class OriginHandler(socketserver.BaseRequestHandler):
    """Serves scripted responses over plain or TLS connections, keep-alive."""

    def handle(self):
        sock = self.request
        sock.settimeout(SOCKET_TIMEOUT)
        if self.server.tls is not None:
            try:
                sock = self.server.tls.wrap_socket(sock, server_side=True)
            except (ssl.SSLError, OSError):
                return
        rfile = sock.makefile("rb")
        try:
            while self.serve_one(sock, rfile):
                pass
        except (OSError, ValueError):
            pass

    def serve_one(self, sock, rfile):
        req = read_request(rfile)
        if req is None:
            return False
        self.server.recorder.write(event_of(self.server.name, self.client_address, req))
        script = Script(self.server.routes, req.target)
        delay = float(script.get("delay", "0"))
        if delay > 0:
            time.sleep(delay)
        if script.get("reset") == "1":
            reset_connection(sock)
            return False
        sock.sendall(build_response(script, req))
        return (req.header("Connection") or "").lower() != "close"


def event_of(name, client, req):
    return {"server": name, "client": "%s:%d" % client[:2], "method": req.method,
            "target": req.target, "header_lines": req.header_lines,
            "body": req.body.decode("latin-1")}


def relay(a, b):
    """Copies bytes both ways until either side closes."""
    def pump(src, dst):
        try:
            while True:
                data = src.recv(RELAY_CHUNK)
                if not data:
                    break
                dst.sendall(data)
        except OSError:
            pass
        for s in (src, dst):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
    t = threading.Thread(target=pump, args=(b, a), daemon=True)
    t.start()
    pump(a, b)
    t.join(SOCKET_TIMEOUT)


def upstream_port(authority, default):
    host, _, port = authority.rpartition(":")
    if host and port.isdigit():
        return int(port)
    return default


class HttpProxyHandler(socketserver.BaseRequestHandler):
    """Records each proxied request and forwards it to 127.0.0.1."""

    def handle(self):
        sock = self.request
        sock.settimeout(SOCKET_TIMEOUT)
        rfile = sock.makefile("rb")
        try:
            req = read_request(rfile)
            if req is None:
                return
            if req.method == "CONNECT":
                self.tunnel(sock, req)
            else:
                self.forward(sock, req)
        except (OSError, ValueError):
            pass

    def tunnel(self, sock, req):
        port = upstream_port(req.target, 443)
        self.record(req, port)
        up = socket.create_connection((LOOPBACK, port), timeout=SOCKET_TIMEOUT)
        sock.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        relay(sock, up)

    def forward(self, sock, req):
        url = urllib.parse.urlsplit(req.target)
        port = url.port or (443 if url.scheme == "https" else 80)
        self.record(req, port)
        path = url.path or "/"
        if url.query:
            path += "?" + url.query
        lines = [line for line in req.header_lines
                 if not line.lower().startswith(("proxy-connection:", "connection:"))]
        lines.append("Connection: close")
        head = "%s %s %s\r\n%s\r\n\r\n" % (req.method, path, req.version, "\r\n".join(lines))
        up = socket.create_connection((LOOPBACK, port), timeout=SOCKET_TIMEOUT)
        up.sendall(head.encode("latin-1") + req.body)
        while True:
            data = up.recv(RELAY_CHUNK)
            if not data:
                break
            sock.sendall(data)
        up.close()

    def record(self, req, port):
        event = event_of("http_proxy", self.client_address, req)
        event["upstream"] = port
        self.server.recorder.write(event)


def recv_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise ValueError("short read")
        data += chunk
    return data


class Socks5Handler(socketserver.BaseRequestHandler):
    """No-auth SOCKS5 CONNECT; records the asked address, relays to loopback."""

    def handle(self):
        sock = self.request
        sock.settimeout(SOCKET_TIMEOUT)
        try:
            ver, nmethods = recv_exact(sock, 2)
            recv_exact(sock, nmethods)
            if ver != 5:
                return
            sock.sendall(b"\x05\x00")
            ver, cmd, _, atyp = recv_exact(sock, 4)
            host = self.read_address(sock, atyp)
            port = struct.unpack("!H", recv_exact(sock, 2))[0]
            self.server.recorder.write({"server": "socks5",
                                        "client": "%s:%d" % self.client_address[:2],
                                        "atyp": atyp, "host": host, "port": port})
            if cmd != 1:
                sock.sendall(b"\x05\x07\x00\x01" + b"\x00" * 6)
                return
            up = socket.create_connection((LOOPBACK, port), timeout=SOCKET_TIMEOUT)
            sock.sendall(b"\x05\x00\x00\x01" + socket.inet_aton(LOOPBACK) + struct.pack("!H", port))
            relay(sock, up)
        except (OSError, ValueError):
            pass

    @staticmethod
    def read_address(sock, atyp):
        if atyp == 1:
            return socket.inet_ntoa(recv_exact(sock, 4))
        if atyp == 3:
            return recv_exact(sock, recv_exact(sock, 1)[0]).decode("latin-1")
        if atyp == 4:
            return socket.inet_ntop(socket.AF_INET6, recv_exact(sock, 16))
        raise ValueError("bad address type")


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 256

    def __init__(self, addr, handler, name, recorder, routes, tls=None):
        self.name = name
        self.recorder = recorder
        self.routes = routes
        self.tls = tls
        super().__init__(addr, handler)


def tls_context(cert_dir):
    """Self-signed certificate made once per directory with the openssl command."""
    os.makedirs(cert_dir, exist_ok=True)
    cert = os.path.join(cert_dir, "cert.pem")
    key = os.path.join(cert_dir, "key.pem")
    if not (os.path.exists(cert) and os.path.exists(key)):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                        "-subj", "/CN=localhost", "-days", "2", "-keyout", key, "-out", cert],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert, key)
    return ctx


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--bind", default=LOOPBACK)
    ap.add_argument("--http", type=int, help="port of the plain origin server")
    ap.add_argument("--https", type=int, help="port of the TLS origin server")
    ap.add_argument("--http-proxy", type=int, help="port of the recording HTTP proxy")
    ap.add_argument("--socks5", type=int, help="port of the recording SOCKS5 proxy")
    ap.add_argument("--cert-dir", default=".", help="where the TLS certificate is kept")
    ap.add_argument("--routes", help="JSON file: path -> response parameters")
    ap.add_argument("--log", help="JSON-lines file of every request received")
    ap.add_argument("--ready-file", help="also write the port line here")
    args = ap.parse_args()
    if args.bind not in (LOOPBACK, "localhost") and not args.bind.startswith("127."):
        ap.error("--bind must be a loopback address")

    routes = {}
    if args.routes:
        with open(args.routes, encoding="utf-8") as fp:
            routes = json.load(fp)
    recorder = Recorder(args.log)
    listeners = [("http", args.http, OriginHandler, None),
                 ("https", args.https, OriginHandler, "tls"),
                 ("http_proxy", args.http_proxy, HttpProxyHandler, None),
                 ("socks5", args.socks5, Socks5Handler, None)]
    ports = {}
    for name, port, handler, tls in listeners:
        if port is None:
            continue
        ctx = tls_context(args.cert_dir) if tls else None
        server = Server((args.bind, port), handler, name, recorder, routes, ctx)
        ports[name] = server.server_address[1]
        threading.Thread(target=server.serve_forever, daemon=True).start()
    line = json.dumps(ports)
    if args.ready_file:
        with open(args.ready_file + ".tmp", "w", encoding="utf-8") as fp:
            fp.write(line + "\n")
        os.rename(args.ready_file + ".tmp", args.ready_file)
    print(line, flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""HTTPS server of the update tests: serves one folder on <address>:<port> (standard library only).

GET and HEAD answer with Content-Length, ETag and Last-Modified; "Range: bytes=N-" (or N-M, -N) with 206
and Content-Range, or 416 past the end; an If-Range validator that does not match gives 200 and the whole
file. Names starting with "." are never served. With --activity each request is appended as it arrives,
with the headers it carried of Range, If-Range and Authorization (Basic shown decoded), and its User-Agent
to agents.txt beside it:
    GET /update/x.exe range=bytes=100- ifrange="18c0a1b2c3-3e8" auth=user:password

Faults, read at every request from .faults in the served folder, one a line "KIND ARGS... [TIMES]". PATH
is a URL path ("/update/x.exe"), or without "/" a file name in any folder. With TIMES a line applies to
that many requests more (the count is kept in the file), without it to every one.
    cut PATH BYTES                close the connection after BYTES bytes of the body
    stall PATH BYTES SECONDS      send BYTES bytes of the body, wait, then close
    hang PATH SECONDS             answer nothing, not even the headers, for SECONDS, then close
    mute SECONDS                  take a connection but not its TLS handshake for SECONDS, then close
    length PATH N                 announce Content-Length N, send the body as it is, then close
    status PATH CODE              answer CODE with an empty body
    redirect PATH URL [CODE]      answer CODE (302 unless given: "redirect PATH URL 301 TIMES") to URL;
                                  a PATH ending in "/" takes every path below it, the rest appended
    slow PATH RATE                send the body at RATE bytes a second, a quarter second's worth at a time
    norange PATH                  ignore Range: 200 and the whole file
    badrange PATH START           answer a Range with the 206 of "bytes=START-" instead
    login USER PASSWORD           every request without these Basic credentials gets 401
--throttle sends at N bytes a second; --report appends a line for each file transfer, for tools/run.sh.
"""
import argparse
import base64
import binascii
import email.utils
import os
import re
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# The arguments of each kind of fault, before the optional TIMES.
FAULT_ARGS = {"cut": 2, "stall": 3, "hang": 2, "length": 2, "status": 2, "redirect": 3, "norange": 1,
              "badrange": 2, "login": 2, "mute": 1, "slow": 2}


class Faults:
    """The lines of .faults; one lock, since counting rewrites the file."""

    lock = threading.Lock()

    def __init__(self, root):
        self.file = os.path.join(root, ".faults")

    def take(self, kind, path=None):
        """The arguments of the first line of this kind that applies to path (counted), or None."""
        with self.lock:
            try:
                with open(self.file, encoding="utf-8") as f:
                    lines = f.read().splitlines()
            except OSError:
                return None
            for index, line in enumerate(lines):
                fields = line.split()
                if not fields or fields[0] != kind or len(fields) < 1 + FAULT_ARGS[kind]:
                    continue
                args = fields[1 : 1 + FAULT_ARGS[kind]]
                if path is not None and not matches(args[0], path):
                    continue
                if len(fields) > 1 + FAULT_ARGS[kind]:
                    times = int(fields[-1]) - 1
                    if times < 0:
                        continue
                    lines[index] = " ".join(fields[:-1] + [str(times)])
                    with open(self.file, "w", encoding="utf-8") as f:
                        f.write("\n".join(lines) + "\n")
                return args
            return None


def matches(pattern, path):
    if "/" not in pattern:
        return path.rsplit("/", 1)[-1] == pattern
    return path == pattern or (pattern.endswith("/") and path.startswith(pattern))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "PendlemarkTest/1"
    # An idle kept-alive connection ends after this long, so threads never pile up.
    timeout = 60

    def do_HEAD(self):
        self.answer(body=False)

    def do_GET(self):
        self.answer(body=True)

    def note(self, line):
        if self.server.activity:
            with Faults.lock, open(self.server.activity, "a", encoding="utf-8") as f:
                f.write(line + "\n")
            agents = os.path.join(os.path.dirname(self.server.activity), "agents.txt")
            with Faults.lock, open(agents, "a", encoding="utf-8") as f:
                f.write("%s\n" % self.headers.get("User-Agent", ""))

    def report(self, line):
        if self.server.report:
            with open(self.server.report, "a", encoding="utf-8") as f:
                f.write(line + "\n")

    def credentials(self):
        """The Authorization header, Basic credentials decoded to "user:password"."""
        value = self.headers.get("Authorization")
        if value and value.startswith("Basic "):
            try:
                return base64.b64decode(value[6:], validate=True).decode("utf-8")
            except (binascii.Error, UnicodeDecodeError):
                pass
        return value

    def record_request(self):
        line = "%s %s" % (self.command, self.path)
        for name, value in (("range", self.headers.get("Range")), ("ifrange", self.headers.get("If-Range")),
                            ("auth", self.credentials())):
            if value is not None:
                line += " %s=%s" % (name, value)
        self.note(line)

    def empty(self, code, headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def answer(self, body):
        self.record_request()
        faults = Faults(self.server.root)
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        login = faults.take("login")
        if login and self.credentials() != ":".join(login):
            self.empty(401, [("WWW-Authenticate", 'Basic realm="Pendlemark test"')])
            return
        hang = faults.take("hang", path)
        if hang:
            time.sleep(float(hang[1]))
            self.drop_connection()
            return
        redirect = faults.take("redirect", path)
        if redirect:
            target = redirect[1] + (path[len(redirect[0]) :] if redirect[0].endswith("/") else "")
            self.empty(int(redirect[2]), [("Location", target)])
            return
        status = faults.take("status", path)
        if status:
            self.empty(int(status[1]))
            return
        parts = path.split("/")
        file = os.path.join(self.server.root, *parts)
        if any(part.startswith(".") for part in parts) or not os.path.isfile(file):
            self.empty(404)
            return
        with open(file, "rb") as f:
            self.send_file(f, path, faults, body)

    def send_file(self, f, path, faults, body):
        stat = os.fstat(f.fileno())
        total = stat.st_size
        etag = '"%x-%x"' % (stat.st_mtime_ns, total)
        modified = email.utils.formatdate(stat.st_mtime, usegmt=True)
        first, last = 0, total - 1
        code = 200
        wanted = self.wanted_range(total, etag, modified)
        if wanted and faults.take("norange", path):
            wanted = None
        if wanted:
            bad = faults.take("badrange", path)
            first, last = (int(bad[1]), total - 1) if bad else wanted
            if first >= total:
                self.empty(416, [("Content-Range", "bytes */%d" % total)])
                return
            code = 206
        length = last - first + 1
        announced = faults.take("length", path)
        self.send_response(code)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", announced[1] if announced else str(length))
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", modified)
        self.send_header("Accept-Ranges", "bytes")
        if code == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, total))
        if announced:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if not body:
            return
        cut = faults.take("cut", path)
        stall = None if cut else faults.take("stall", path)
        limit = int(cut[1]) if cut else int(stall[1]) if stall else None
        name = path.rsplit("/", 1)[-1]
        self.report("sending %s (%d bytes)" % (name, length))
        started = time.monotonic()
        f.seek(first)
        slow = faults.take("slow", path)
        try:
            sent = self.send_body(f, length if limit is None else min(length, limit), int(slow[1]) if slow else 0)
        except OSError:
            self.report("transfer of %s broken off" % name)
            self.close_connection = True
            return
        if limit is not None and limit < length:
            if stall:
                time.sleep(float(stall[2]))
            self.drop_connection()
            self.report("transfer of %s broken off after %d bytes" % (name, sent))
            return
        self.report("sent %s: %d bytes in %.1f s" % (name, sent, time.monotonic() - started))

    def wanted_range(self, total, etag, modified):
        """(first, last) of a single satisfiable or past-the-end byte range asked for, or None."""
        match = re.fullmatch(r"bytes=(\d*)-(\d*)", self.headers.get("Range", "").strip())
        if not match or match.group(1) == match.group(2) == "":
            return None
        validator = self.headers.get("If-Range")
        if validator is not None and validator.strip() not in (etag, modified):
            return None
        if match.group(1) == "":
            return max(0, total - int(match.group(2))), total - 1
        first = int(match.group(1))
        last = min(int(match.group(2)), total - 1) if match.group(2) else total - 1
        return (first, last) if last >= first or first >= total else None

    def send_body(self, f, count, slow=0):
        rate = slow or self.server.throttle
        # Paced in small pieces, so that a slowed transfer can be seen (and caught) at any point.
        piece = max(1, slow // 4) if slow else max(1024, rate // 16) if rate else 65536
        sent = 0
        while sent < count:
            data = f.read(min(piece, count - sent))
            if not data:
                break
            self.wfile.write(data)
            sent += len(data)
            if rate:
                time.sleep(len(data) / rate)
        return sent

    def drop_connection(self):
        """Ends the connection as a failing server or network does: no TLS close, no more responses."""
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def finish_request(self, request, client_address):
        # The handshake in the request's own thread: a client that stops half-way holds up nobody else.
        mute = Faults(self.root).take("mute") if self.context else None
        if mute:
            time.sleep(float(mute[0]))
            request.close()
            return
        # Headers and body go out in writes of their own: without this each answer would wait for the
        # client's delayed acknowledgement (40 ms), as no web server in use lets it.
        request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.context:
            request.settimeout(Handler.timeout)
            try:
                request = self.context.wrap_socket(request, server_side=True)
            except OSError as error:
                print("TLS handshake with %s failed: %s" % (client_address[0], error), file=sys.stderr)
                return
        try:
            super().finish_request(request, client_address)
        finally:
            self.shutdown_request(request)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, default=0, help="default 443, or 80 with --plain")
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", help="server certificate (PEM)")
    parser.add_argument("--key", help="its private key (PEM)")
    parser.add_argument("--plain", action="store_true", help="plain HTTP, for redirects away from HTTPS")
    parser.add_argument("--activity", default="", help="file that records each request")
    parser.add_argument("--throttle", type=int, default=0, help="send at N bytes a second")
    parser.add_argument("--report", default="", help="append file transfers to this file")
    args = parser.parse_args()
    if not args.plain and not (args.cert and args.key):
        parser.error("--cert and --key are needed unless --plain")

    server = Server((args.address, args.port or (80 if args.plain else 443)), Handler)
    server.root = args.root
    server.activity = args.activity
    server.report = args.report
    server.throttle = args.throttle
    server.context = None
    if not args.plain:
        server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.context.load_cert_chain(args.cert, args.key)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())

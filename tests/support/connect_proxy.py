#!/usr/bin/python3
"""CONNECT proxy of the update tests: tunnels "CONNECT address:port" to the test network only.

Each request line is appended to --activity as it arrives ("CONNECT 127.0.6.20:443"), with " refused"
after it when it is not tunnelled: a target outside the proxy's own /24 (an address literal is needed, no
name is ever resolved) gets 403, any other method 405. It is never an open proxy.
"""
import argparse
import ipaddress
import selectors
import socket
import socketserver
import sys
import threading


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        client = self.request
        client.settimeout(30)
        head = b""
        while b"\r\n\r\n" not in head and len(head) < 16384:
            data = client.recv(4096)
            if not data:
                return
            head += data
        head, _, rest = head.partition(b"\r\n\r\n")
        fields = head.split(b"\r\n", 1)[0].decode("latin-1").split()
        if len(fields) != 3:
            return
        method, target = fields[0], fields[1]
        refusal = self.refusal(method, target)
        self.server.note("%s %s%s" % (method, target, " refused" if refusal else ""))
        if refusal:
            client.sendall(("HTTP/1.1 %s\r\nContent-Length: 0\r\nConnection: close\r\n\r\n" % refusal).encode())
            return
        host, port = target.rsplit(":", 1)
        try:
            upstream = socket.create_connection((host, int(port)), timeout=10)
        except OSError:
            client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        with upstream:
            client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            if rest:
                upstream.sendall(rest)
            self.tunnel(client, upstream)

    def refusal(self, method, target):
        if method != "CONNECT":
            return "405 Method Not Allowed"
        host, _, port = target.rpartition(":")
        try:
            if ipaddress.IPv4Address(host) in self.server.net and 0 < int(port) < 65536:
                return None
        except ValueError:
            pass
        return "403 Forbidden"

    @staticmethod
    def tunnel(a, b):
        a.settimeout(None)
        b.settimeout(None)
        with selectors.DefaultSelector() as selector:
            selector.register(a, selectors.EVENT_READ, b)
            selector.register(b, selectors.EVENT_READ, a)
            while True:
                for key, _ in selector.select():
                    try:
                        data = key.fileobj.recv(65536)
                        if not data:
                            return
                        key.data.sendall(data)
                    except OSError:
                        return


class Proxy(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    lock = threading.Lock()

    def note(self, line):
        if self.activity:
            with self.lock, open(self.activity, "a", encoding="utf-8") as f:
                f.write(line + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--activity", default="", help="file that records each request line")
    args = parser.parse_args()
    proxy = Proxy((args.address, args.port), Handler)
    proxy.net = ipaddress.IPv4Network(args.address + "/24", strict=False)
    proxy.activity = args.activity
    proxy.serve_forever()


if __name__ == "__main__":
    sys.exit(main())

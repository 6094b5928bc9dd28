"""A CONNECT proxy for the tests: opens tunnels, logs the CONNECT head it received.

Run as a script. --log receives one JSON line per CONNECT: the target and the head, raw.
--auth user:password requires those Basic credentials (407 otherwise). --cert and --key make
it an https proxy. --reply chooses the answer: "ok" (200 and a tunnel), "http10" (an HTTP/1.0 200), "407", "bad" (a 502), "garbage"
(not an HTTP reply), "close" (the connection closes before any reply).
"""

from __future__ import annotations

import argparse
import base64
import json
import os
import select
import signal
import socket
import ssl
import sys
import threading


def relay(client: socket.socket, upstream: socket.socket) -> None:
    """Copies bytes both ways on one thread: a TLS socket must not be read and written from two."""
    try:
        while True:
            pending = getattr(client, "pending", lambda: 0)()
            for src in [client] if pending else select.select([client, upstream], [], [])[0]:
                data = src.recv(65536)
                if not data:
                    return
                (upstream if src is client else client).sendall(data)
    except OSError:
        pass
    finally:
        for s in (client, upstream):
            try:
                s.close()
            except OSError:
                pass


class Proxy:
    def __init__(self, args: argparse.Namespace) -> None:
        self.args = args
        self.lock = threading.Lock()
        self.context = None
        if args.cert:
            self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.context.load_cert_chain(args.cert, args.key)

    def log(self, entry: dict) -> None:
        if self.args.log:
            with self.lock, open(self.args.log, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry) + "\n")

    def handle(self, conn: socket.socket) -> None:
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.context:
            try:
                conn = self.context.wrap_socket(conn, server_side=True)
            except OSError:
                conn.close()
                return
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                conn.close()
                return
            data += chunk
        head, _, rest = data.partition(b"\r\n\r\n")
        text = head.decode("latin-1")
        first = text.split("\r\n", 1)[0]
        parts = first.split(" ")
        target = parts[1] if len(parts) > 1 else ""
        self.log({"method": parts[0], "target": target, "head": text + "\r\n\r\n"})
        mode = self.args.reply
        if self.args.auth:
            expected = "Basic " + base64.b64encode(self.args.auth.encode("utf-8")).decode("ascii")
            fields = [line.partition(":") for line in text.split("\r\n")[1:]]
            got = [v.strip() for n, _, v in fields if n.lower() == "proxy-authorization"]
            if got != [expected]:
                mode = "407"
        replies = {
            "407": b"HTTP/1.1 407 Proxy Authentication Required\r\n"
            b"Proxy-Authenticate: Basic realm=\"test\"\r\ncontent-length: 0\r\n\r\n",
            "bad": b"HTTP/1.1 502 Bad Gateway\r\ncontent-length: 0\r\n\r\n",
            "garbage": b"SSH-2.0-not-a-proxy\r\n\r\n",
        }
        if mode == "close":
            conn.close()
            return
        if mode in replies:
            conn.sendall(replies[mode])
            conn.close()
            return
        host, _, port = target.rpartition(":")
        host = host.strip("[]")
        if self.args.upstream_host:
            host = self.args.upstream_host
        try:
            upstream = socket.create_connection((host, int(port)), timeout=10)
            upstream.settimeout(None)
            upstream.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        except OSError:
            conn.sendall(b"HTTP/1.1 502 Bad Gateway\r\ncontent-length: 0\r\n\r\n")
            conn.close()
            return
        status = b"HTTP/1.0 200 Connection established\r\n\r\n" if mode == "http10" else (
            b"HTTP/1.1 200 Connection established\r\n\r\n")
        conn.sendall(status)
        if rest:
            upstream.sendall(rest)
        relay(conn, upstream)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--log")
    parser.add_argument("--auth", help="user:password that the proxy requires")
    parser.add_argument("--reply", default="ok", choices=["ok", "http10", "407", "bad", "garbage", "close"])
    parser.add_argument("--upstream-host", help="connect tunnels here whatever host CONNECT names")
    parser.add_argument("--cert", help="PEM file: certificate chain of an https proxy")
    parser.add_argument("--key", help="PEM file: private key of an https proxy")
    args = parser.parse_args(argv)
    proxy = Proxy(args)
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", args.port))
    sock.listen(64)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print(f"listening on {args.port}", flush=True)
    while True:
        conn, _ = sock.accept()
        threading.Thread(target=proxy.handle, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())

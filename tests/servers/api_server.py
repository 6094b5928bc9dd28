"""Stand-in for the API server: HTTPS, records every request, answers as a scenario says.

Run as a script. Each request is appended to --log as one JSON line: method, target, version,
the header fields in order and case, and the body (hex). Each accepted connection adds a line
{"event": "connection"}.

Scenario (--scenario, a JSON file): {"routes": {target: reply, ...}, "default": reply}. A reply
is {"status": 200, "reason": "OK", "headers": [[name, value], ...], "body": text,
"body_hex": hex, "delay": seconds before answering, "hang": true (never answer)}. A
content-length field is added unless the reply's headers name one or a transfer-encoding.
{"raw_hex": hex} instead sends those bytes as they are, head and all, then closes the
connection: for heads that the other keys cannot spell ("" closes without answering); with
"drip": [count, seconds], its first count bytes go out one at a time, seconds apart.
"extra_hex": bytes written straight after the reply, in a write of their own, or in the reply's
own write with "extra_same_write": true; the connection stays open for the next request.

Each request line also names its connection: "connection", counted from 1 in accept order.
With "count_established": true in the scenario, it also says how many connections to the
server's port the kernel holds established as the request is read ("established"), which a
connection that its client has closed no longer counts as; reading the kernel's tables takes
milliseconds, so only the tests that ask pay for it.

--no-handshake accepts connections and never starts TLS on them; --plain serves plain HTTP.

--demo answers every request with a fixed reply, using a certificate from a CA of its own
whose PEM it writes to --demo-ca-out.
"""

from __future__ import annotations

import argparse
import json
import os
import signal
import socket
import ssl
import sys
import threading
import time

DEMO_REPLY = {
    "status": 200,
    "headers": [["content-type", "text/plain; charset=utf-8"]],
    "body": "stand-in API server: record received\n",
}


class Recorder:
    def __init__(self, path: str | None) -> None:
        self._path = path
        self._lock = threading.Lock()

    def write(self, entry: dict) -> None:
        if not self._path:
            return
        line = json.dumps(entry) + "\n"
        with self._lock, open(self._path, "a", encoding="utf-8") as f:
            f.write(line)
            f.flush()


def read_head(conn) -> tuple[bytes, bytes] | None:
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
        if len(data) > 1 << 20:
            return None
    head, _, rest = data.partition(b"\r\n\r\n")
    return head, rest


def established(port: int) -> int:
    """Connections to port in the established state, as /proc/net/tcp and tcp6 list them."""
    count = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table, encoding="ascii") as f:
                rows = f.read().splitlines()[1:]
        except OSError:
            continue
        for row in rows:
            fields = row.split()
            # local address "hex:port", remote address, then the state; 01 is established
            if int(fields[1].rsplit(":", 1)[1], 16) == port and fields[3] == "01":
                count += 1
    return count


def parse_request(head: bytes) -> dict:
    lines = head.decode("latin-1").split("\r\n")
    method, target, version = (lines[0].split(" ", 2) + ["", ""])[:3]
    headers = []
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers.append([name, value.strip()])
    return {"method": method, "target": target, "version": version, "headers": headers}


def reply_bytes(reply: dict) -> bytes:
    status = int(reply.get("status", 200))
    reason = reply.get("reason", "OK")
    if "body_hex" in reply:
        body = bytes.fromhex(reply["body_hex"])
    else:
        body = reply.get("body", "").encode("utf-8")
    headers = [list(h) for h in reply.get("headers", [])]
    if not any(h[0].lower() in ("content-length", "transfer-encoding") for h in headers):
        headers.append(["content-length", str(len(body))])
    out = f"HTTP/1.1 {status} {reason}\r\n"
    for name, value in headers:
        out += f"{name}: {value}\r\n"
    return (out + "\r\n").encode("latin-1") + body


class Server:
    def __init__(self, args: argparse.Namespace, context: ssl.SSLContext | None, scenario: dict) -> None:
        self.args = args
        self.context = context
        self.scenario = scenario
        self.recorder = Recorder(args.log)
        self.held: list[socket.socket] = []
        self.accepted = 0

    def route(self, target: str) -> dict:
        routes = self.scenario.get("routes", {})
        path = target.split("?", 1)[0]
        return routes.get(target) or routes.get(path) or self.scenario.get("default", DEMO_REPLY)

    def handle(self, raw: socket.socket, number: int) -> None:
        self.recorder.write({"event": "connection"})
        # Small writes (session tickets, then the reply) must not wait for a delayed ACK.
        raw.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.args.no_handshake:
            self.held.append(raw)
            return
        try:
            conn = self.context.wrap_socket(raw, server_side=True) if self.context else raw
        except (ssl.SSLError, OSError) as exc:
            self.recorder.write({"event": "handshake-failed", "error": str(exc)})
            raw.close()
            return
        try:
            while True:
                got = read_head(conn)
                if got is None:
                    return
                head, rest = got
                request = parse_request(head)
                length = 0
                for name, value in request["headers"]:
                    if name.lower() == "content-length":
                        length = int(value)
                body = rest
                while len(body) < length:
                    chunk = conn.recv(65536)
                    if not chunk:
                        break
                    body += chunk
                request["body_hex"] = body[:length].hex()
                request["connection"] = number
                if self.scenario.get("count_established"):
                    request["established"] = established(self.args.port)
                self.recorder.write(request)
                reply = self.route(request["target"])
                if reply.get("hang"):
                    self.held.append(conn)
                    return
                if reply.get("delay"):
                    time.sleep(float(reply["delay"]))
                if "raw_hex" in reply:
                    raw = bytes.fromhex(reply["raw_hex"])
                    count, seconds = reply.get("drip", (0, 0))
                    for i in range(min(count, len(raw))):
                        conn.sendall(raw[i:i + 1])
                        time.sleep(seconds)
                    conn.sendall(raw[count:])
                    return
                extra = bytes.fromhex(reply.get("extra_hex", ""))
                if reply.get("extra_same_write"):
                    conn.sendall(reply_bytes(reply) + extra)
                else:
                    conn.sendall(reply_bytes(reply))
                    if extra:
                        conn.sendall(extra)
        except (ssl.SSLError, OSError):
            pass
        finally:
            if conn not in self.held:
                try:
                    conn.close()
                except OSError:
                    pass


def listen(port: int) -> socket.socket:
    # One dual-stack socket, so both addresses of "localhost" answer.
    try:
        sock = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
        sock.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind(("::", port))
    except OSError:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind(("0.0.0.0", port))
    sock.listen(128)
    return sock


def demo_context(ca_out: str) -> ssl.SSLContext:
    import trustme

    ca = trustme.CA()
    ca.cert_pem.write_to_path(ca_out)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ca.issue_cert("localhost", "127.0.0.1", "::1").configure_cert(context)
    return context


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert", help="PEM file: certificate chain of the server")
    parser.add_argument("--key", help="PEM file: private key of the server")
    parser.add_argument("--log", help="file that receives one JSON line per request")
    parser.add_argument("--scenario", help="JSON file of the replies")
    parser.add_argument("--no-handshake", action="store_true")
    parser.add_argument("--plain", action="store_true", help="plain HTTP, no TLS")
    parser.add_argument("--demo", action="store_true")
    parser.add_argument("--demo-ca-out", help="where --demo writes the PEM of its CA")
    args = parser.parse_args(argv)

    scenario: dict = {"default": DEMO_REPLY}
    if args.scenario:
        with open(args.scenario, encoding="utf-8") as f:
            scenario = json.load(f)

    context = None
    if args.demo:
        if not args.demo_ca_out:
            parser.error("--demo needs --demo-ca-out")
        context = demo_context(args.demo_ca_out)
    elif not (args.no_handshake or args.plain):
        if not (args.cert and args.key):
            parser.error("--cert and --key are needed")
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)

    server = Server(args, context, scenario)
    sock = listen(args.port)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print(f"listening on {args.port}", flush=True)
    while True:
        raw, _ = sock.accept()
        server.accepted += 1
        threading.Thread(target=server.handle, args=(raw, server.accepted), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())

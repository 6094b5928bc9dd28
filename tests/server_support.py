"""Helpers of the server-call tests: a test build of the module, certificates made per run,
the stand-in servers as processes of their own, and calls made in child interpreters.

The call holds the interpreter lock while it waits, so every server and proxy runs in a
separate process, and so does every call.
"""

from __future__ import annotations

import datetime
import fcntl
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

from conftest import run_python
from servers.api_server import listen

ROOT = Path(__file__).resolve().parent.parent
SERVERS = Path(__file__).resolve().parent / "servers"
# The stand-in API server's port, baked into the test build: QIV_TEST_API_PORT, else the first of
# these that no other run holds and nothing listens on.
API_PORTS = range(47443, 47459)
_port_locks = []  # open for the life of the process: the kernel releases them when it ends


def _hold_port(port: int) -> bool:
    """Takes port for this process, against other test runs on the machine: a lock of its own,
    and a check that it can be listened on."""
    lock = open(Path(tempfile.gettempdir()) / f"qiv-test-api-port-{port}.lock", "a")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        listen(port).close()
    except OSError:
        lock.close()
        return False
    _port_locks.append(lock)
    return True


def _reserve_api_port() -> tuple[int, str | None]:
    """The port, and why none could be had (the build then fails with that text)."""
    chosen = os.environ.get("QIV_TEST_API_PORT")
    if chosen:
        port = int(chosen)
        if _hold_port(port):
            return port, None
        return port, f"port {port} (QIV_TEST_API_PORT) is taken: set QIV_TEST_API_PORT to a free port"
    for port in API_PORTS:
        if _hold_port(port):
            return port, None
    return API_PORTS[0], (f"ports {API_PORTS[0]} to {API_PORTS[-1]} are all taken, by other test runs or other "
                          "programs: set QIV_TEST_API_PORT to a free port")


API_PORT, API_PORT_PROBLEM = _reserve_api_port()
# One build per port, so that runs on different ports do not rebuild each other's copy;
# QIV_TEST_SANITIZE=1 builds it with the sanitizers, in a folder of its own.
SANITIZE = os.environ.get("QIV_TEST_SANITIZE") == "1"
BUILD_DIR = ROOT / "build" / f"test-server-{API_PORT}{'-asan' if SANITIZE else ''}"
CA_FILE = BUILD_DIR / "ca.pem"
# The limits of the test build, in seconds.
CONNECT_TIMEOUT_S = 2
STALL_TIMEOUT_S = 2

# Variables a call may read; a child starts without them unless a test sets them.
CALL_VARIABLES = (
    "HTTP_PROXY", "http_proxy", "HTTPS_PROXY", "https_proxy", "ALL_PROXY", "all_proxy",
    "NO_PROXY", "no_proxy", "REQUEST_METHOD", "TOKIO_WORKER_THREADS", "SSLKEYLOGFILE",
)


def build_module() -> Path:
    """Configures and builds the test copy of the module, pointed at the local stand-in."""
    if API_PORT_PROBLEM:
        raise RuntimeError(API_PORT_PROBLEM)
    BUILD_DIR.mkdir(parents=True, exist_ok=True)
    configure = [
        "cmake", "-S", str(ROOT), "-B", str(BUILD_DIR),
        f"-DPython_EXECUTABLE={sys.executable}",
        f"-DQIV_API_BASE_URL=https://localhost:{API_PORT}",
        f"-DQIV_CA_BUNDLE={CA_FILE}",
        f"-DQIV_CONNECT_TIMEOUT_S={CONNECT_TIMEOUT_S}",
        f"-DQIV_STALL_TIMEOUT_S={STALL_TIMEOUT_S}",
        f"-DQIV_SANITIZE={'ON' if SANITIZE else 'OFF'}",
    ]
    if shutil.which("ninja") and not (BUILD_DIR / "CMakeCache.txt").exists():
        configure += ["-G", "Ninja"]
    # The compiler never runs under a runtime preloaded into the tests (the sanitizers').
    env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
    for command in (configure, ["cmake", "--build", str(BUILD_DIR), "--target", "qiv_framework", "--parallel"]):
        done = subprocess.run(command, capture_output=True, text=True, env=env)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed:\n{done.stdout}\n{done.stderr}")
    return BUILD_DIR


@dataclass
class CertPair:
    cert: Path
    key: Path


class Certificates:
    """A CA made for this run, trusted by the test build, and the server certificates."""

    def __init__(self, folder: Path) -> None:
        import trustme

        folder.mkdir(parents=True, exist_ok=True)
        self.ca = trustme.CA()
        self.ca.cert_pem.write_to_path(str(CA_FILE))
        other_ca = trustme.CA()
        past = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=30)
        leaves = {
            "good": self.ca.issue_cert("localhost", "127.0.0.1", "::1"),
            "wrong-host": self.ca.issue_cert("wrong-host.example"),
            "untrusted": other_ca.issue_cert("localhost", "127.0.0.1", "::1"),
            "expired": self.ca.issue_cert("localhost", "127.0.0.1", "::1",
                                          not_before=past - datetime.timedelta(days=30), not_after=past),
        }
        self.pairs: dict[str, CertPair] = {}
        for mode, leaf in leaves.items():
            cert = folder / f"{mode}.pem"
            key = folder / f"{mode}.key"
            with open(cert, "wb") as f:
                for blob in leaf.cert_chain_pems:
                    f.write(blob.bytes())
            leaf.private_key_pem.write_to_path(str(key))
            self.pairs[mode] = CertPair(cert, key)


def free_port() -> int:
    """A free port outside the API server's, which another run may hold while its server is down."""
    while True:
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        if port not in API_PORTS:
            return port


class ServerProcess:
    """A script of tests/servers running until stop(); started() once it listens."""

    def __init__(self, script: str, port: int, args: list[str], log: Path | None) -> None:
        self.log = log
        self.port = port
        self.proc = subprocess.Popen([sys.executable, str(SERVERS / script), "--port", str(port), *args],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.proc.stdout.readline()
        if not line.startswith("listening"):
            self.stop()
            hint = " (QIV_TEST_API_PORT chooses the test build's)" if port == API_PORT else ""
            raise RuntimeError(f"{script} did not start: is port {port} taken?{hint}")

    def entries(self) -> list[dict]:
        if not self.log or not self.log.exists():
            return []
        return [json.loads(line) for line in self.log.read_text(encoding="utf-8").splitlines() if line]

    def requests(self) -> list[dict]:
        return [e for e in self.entries() if "method" in e]

    def stop(self) -> None:
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc.stdout:
            self.proc.stdout.close()

    def __enter__(self) -> "ServerProcess":
        return self

    def __exit__(self, *exc) -> None:
        self.stop()


def start_api_server(folder: Path, certs: Certificates, scenario: dict | None = None, cert_mode: str = "good",
                     port: int = API_PORT, no_handshake: bool = False, plain: bool = False) -> ServerProcess:
    folder.mkdir(parents=True, exist_ok=True)
    log = folder / f"api-{port}.jsonl"
    scenario_file = folder / f"scenario-{port}.json"
    scenario_file.write_text(json.dumps(scenario or {"default": {"status": 200, "body": "ok"}}))
    pair = certs.pairs[cert_mode]
    args = ["--log", str(log), "--scenario", str(scenario_file)]
    if plain:
        args.append("--plain")
    else:
        args += ["--cert", str(pair.cert), "--key", str(pair.key)]
    if no_handshake:
        args.append("--no-handshake")
    return ServerProcess("api_server.py", port, args, log)


def start_proxy(folder: Path, auth: str | None = None, reply: str = "ok", name: str = "proxy",
                tls: CertPair | None = None) -> ServerProcess:
    folder.mkdir(parents=True, exist_ok=True)
    port = free_port()
    log = folder / f"{name}-{port}.jsonl"
    args = ["--log", str(log), "--reply", reply]
    if auth:
        args += ["--auth", auth]
    if tls:
        args += ["--cert", str(tls.cert), "--key", str(tls.key)]
    return ServerProcess("connect_proxy.py", port, args, log)


# The child's default work: one call, then a check that the record is still usable.
CALL_SNIPPET = """
import json, qiv_framework
record = qiv_framework.EApiConfigRust(True, "name", "url")
out = {"body_hex": bytes(record.to_bytes()).hex()}
try:
    reply = record.do_set_remote()
    out.update(outcome="ok", type=type(reply).__name__, reply_hex=reply.hex())
except BaseException as exc:
    out.update(outcome="raised", type=type(exc).__name__, exact=type(exc) is Exception,
               message=str(exc), args=len(exc.args))
record.name = "after"
out["usable"] = record.name == "after" and record.isLocal is True and record.url_logo == "url"
print("RESULT " + json.dumps(out))
"""


def child_env(env: dict | None = None) -> dict:
    base = {k: v for k, v in os.environ.items() if k not in CALL_VARIABLES}
    base["PYTHONPATH"] = str(BUILD_DIR)
    base.update(env or {})
    return base


def run_snippet(code: str, env: dict | None = None, timeout: float = 60) -> subprocess.CompletedProcess:
    """Runs code in a child interpreter that imports the test build."""
    return run_python(code, timeout=timeout, env=child_env(env))


@dataclass
class CallOutcome:
    data: dict
    seconds: float
    stderr: str

    @property
    def reply(self) -> bytes:
        assert self.data["outcome"] == "ok", self.data
        return bytes.fromhex(self.data["reply_hex"])


def run_call(env: dict | None = None, timeout: float = 60) -> CallOutcome:
    start = time.monotonic()
    done = run_snippet(CALL_SNIPPET, env, timeout)
    seconds = time.monotonic() - start
    for line in done.stdout.decode("utf-8", "replace").splitlines():
        if line.startswith("RESULT "):
            return CallOutcome(json.loads(line[7:]), seconds, done.stderr.decode("utf-8", "replace"))
    raise AssertionError(f"child ended without a result (rc {done.returncode}):\n{done.stderr.decode()}")

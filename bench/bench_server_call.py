"""Cost of one server call against the local stand-in API server, beside the same POST made by
http.client (a new TLS connection per request) and by the curl command-line tool, and beside the
same call answered first by a redirect; then a check that a thousand calls in a row leave
threads, descriptors and memory where they were.

Run: .venv/bin/python bench/bench_server_call.py [--calls N] [--steady N] [--build-type T].
Builds a copy of the module configured as the tests' copy is, but optimised (Release unless told
otherwise) and in a folder of its own so a test run beside it is not disturbed, and starts the
stand-in server in a process of its own.
"""

from __future__ import annotations

import argparse
import http.client
import json
import shutil
import ssl
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import bench_rows

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
import server_support as ss  # noqa: E402

# The helpers read these at call time: the bench's own build (one per port, as the tests'), its
# own trusted CA file.
ss.BUILD_DIR = ss.ROOT / "build" / f"bench-server-{ss.API_PORT}"
ss.CA_FILE = ss.BUILD_DIR / "ca.pem"

CALLS_SNIPPET = """
import json, sys, time, qiv_framework
record = qiv_framework.EApiConfigRust(True, "name", "url")
n = int(sys.argv[1])
record.do_set_remote()  # warm-up: loads the library, builds the proxy table
times = []
for _ in range(n):
    t = time.perf_counter()
    record.do_set_remote()
    times.append(time.perf_counter() - t)
print(json.dumps({"times": times, "body_hex": bytes(record.to_bytes()).hex()}))
"""

STEADY_SNIPPET = """
import json, os, sys, qiv_framework

def sample():
    rss = [l for l in open("/proc/self/status") if l.startswith("VmRSS:")][0].split()[1]
    return {"threads": len(os.listdir("/proc/self/task")), "fds": len(os.listdir("/proc/self/fd")), "rss_kib": int(rss)}
record = qiv_framework.EApiConfigRust(True, "name", "url")
n = int(sys.argv[1])
for _ in range(50):
    record.do_set_remote()
first = sample()
for _ in range(n):
    record.do_set_remote()
print(json.dumps({"before": first, "after": sample()}))
"""


def build_module(build_type: str) -> None:
    """The tests' configuration of the module, built as the module ships: optimised."""
    ss.BUILD_DIR.mkdir(parents=True, exist_ok=True)
    configure = [
        "cmake", "-S", str(ss.ROOT), "-B", str(ss.BUILD_DIR), f"-DPython_EXECUTABLE={sys.executable}",
        f"-DCMAKE_BUILD_TYPE={build_type}", f"-DQIV_API_BASE_URL=https://localhost:{ss.API_PORT}",
        f"-DQIV_CA_BUNDLE={ss.CA_FILE}", f"-DQIV_CONNECT_TIMEOUT_S={ss.CONNECT_TIMEOUT_S}",
        f"-DQIV_STALL_TIMEOUT_S={ss.STALL_TIMEOUT_S}",
    ]
    if shutil.which("ninja") and not (ss.BUILD_DIR / "CMakeCache.txt").exists():
        configure += ["-G", "Ninja"]
    for command in (configure, ["cmake", "--build", str(ss.BUILD_DIR), "--target", "qiv_framework", "--parallel"]):
        done = subprocess.run(command, capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed:\n{done.stdout}\n{done.stderr}")


def run_child(snippet: str, arg: int) -> dict:
    done = subprocess.run([sys.executable, "-c", snippet, str(arg)], env=ss.child_env(), capture_output=True,
                          text=True, timeout=900)
    if done.returncode != 0:
        raise RuntimeError(done.stderr)
    return json.loads(done.stdout.strip().splitlines()[-1])


def http_client_times(body: bytes, n: int, new_context: bool = False) -> list[float]:
    context = ssl.create_default_context(cafile=str(ss.CA_FILE))
    times = []
    for _ in range(n + 1):
        t = time.perf_counter()
        if new_context:  # a new client per request, as each server call makes one
            context = ssl.create_default_context(cafile=str(ss.CA_FILE))
        conn = http.client.HTTPSConnection("localhost", ss.API_PORT, context=context)
        conn.request("POST", "/v1/set_server/", body=body, headers={"accept": "*/*"})
        conn.getresponse().read()
        conn.close()
        times.append(time.perf_counter() - t)
    return times[1:]


def curl_times(body: bytes, n: int, folder: Path) -> list[float] | None:
    if not shutil.which("curl"):
        return None
    data = folder / "body.bin"
    data.write_bytes(body)
    command = ["curl", "-s", "-o", "/dev/null", "--http1.1", "--cacert", str(ss.CA_FILE), "--data-binary",
               f"@{data}", f"https://localhost:{ss.API_PORT}/v1/set_server/"]
    times = []
    for _ in range(n):
        t = time.perf_counter()
        subprocess.run(command, check=True)
        times.append(time.perf_counter() - t)
    return times


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--calls", type=int, default=200)
    parser.add_argument("--steady", type=int, default=1000)
    parser.add_argument("--build-type", default="Release")
    args = parser.parse_args()

    build_module(args.build_type)
    with tempfile.TemporaryDirectory() as tmp:
        folder = Path(tmp)
        certs = ss.Certificates(folder / "certs")
        scenario = {"default": {"status": 200, "body": "ok", "headers": [["content-type", "text/plain"]]}}
        with ss.start_api_server(folder, certs, scenario):
            module = run_child(CALLS_SNIPPET, args.calls)
            body = bytes.fromhex(module["body_hex"])
            rows = [("do_set_remote()", module["times"]), ("http.client", http_client_times(body, args.calls)),
                    ("http.client, new SSLContext each", http_client_times(body, args.calls, new_context=True))]
            curl = curl_times(body, args.calls, folder)
            if curl:
                rows.append(("curl (command, incl. process start)", curl))
            steady = run_child(STEADY_SNIPPET, args.steady) if args.steady else None
        # The same call answered first by a 307 to a second path of the same server.
        moved = {"routes": {"/v1/set_server/": {"status": 307, "headers": [["location", "/moved"]]},
                            "/moved": scenario["default"]}}
        with ss.start_api_server(folder, certs, moved):
            redirected = run_child(CALLS_SNIPPET, args.calls)["times"]

    base = statistics.median(rows[1][1])
    direct = statistics.median(module["times"])
    print(f"{'client':<38}{'median ms':>10}{'p90 ms':>10}{'vs http.client':>16}")
    for name, times in rows:
        med = statistics.median(times)
        p90 = statistics.quantiles(times, n=10)[-1]
        print(f"{name:<38}{med * 1e3:>10.2f}{p90 * 1e3:>10.2f}{med / base:>15.2f}x")
        if name != "do_set_remote()":  # every other client is a peer of ours
            peer = "http.client (new connection)" if name == "http.client" else name
            bench_rows.record("server call: do_set_remote()", direct, peer, med)
    print(f"{'do_set_remote() through one 307':<38}{statistics.median(redirected) * 1e3:>10.2f}")
    bench_rows.record_cost("server call: do_set_remote() through one 307", statistics.median(redirected),
                           "do_set_remote() with no redirect", direct)
    if steady:
        print(f"\n{args.steady} calls in a row:")
        for key in ("threads", "fds", "rss_kib"):
            print(f"  {key:<8} {steady['before'][key]:>8} -> {steady['after'][key]:>8}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

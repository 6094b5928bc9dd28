"""Runs every benchmark of the project and prints two tables. Against peers: for each operation
our median, the peer's median measured in the same run, and the ratio peer/ours (above 1: we are
faster). Costs: an operation that does more work than a base operation of ours, and the ratio of
their medians, which is what the extra work costs.

Run: .venv/bin/python bench/run_all.py   (needs the module installed there, as scripts/run_tests.sh leaves it)
"""
import json
import os
import platform
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
BENCHES = ["bench_round_trip.py", "bench_record.py", "bench_decode.py", "bench_server_call.py"]


def unit(seconds):
    for scale, name in ((1, "s"), (1e-3, "ms"), (1e-6, "µs")):
        if seconds >= scale:
            return f"{seconds / scale:.2f} {name}"
    return f"{seconds * 1e9:.0f} ns"


def main():
    with tempfile.TemporaryDirectory() as tmp:
        rows_file = Path(tmp) / "rows.jsonl"
        env = dict(os.environ, QIV_BENCH_ROWS=str(rows_file))
        for bench in BENCHES:
            print(f"running {bench} ...", file=sys.stderr, flush=True)
            subprocess.run([sys.executable, str(HERE / bench)], env=env, stdout=subprocess.DEVNULL, check=False)
        rows = [json.loads(line) for line in rows_file.read_text().splitlines()] if rows_file.exists() else []
    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
    print(f"{platform.node()}: {cpu}, {os.cpu_count()} CPUs, Python {platform.python_version()}\n")
    print(f"| operation | ours | peer | peer median | peer/ours |\n|---|---|---|---|---|")
    for r in rows:
        if "peer" in r:
            print(f"| {r['operation']} | {unit(r['ours'])} | {r['peer']} | {unit(r['peer_time'])} | "
                  f"{r['peer_time'] / r['ours']:.2f}× |")
    costs = [r for r in rows if "base" in r]
    if costs:
        print(f"\n| operation | median | compared with | its median | cost |\n|---|---|---|---|---|")
    for r in costs:
        print(f"| {r['operation']} | {unit(r['ours'])} | {r['base']} | {unit(r['base_time'])} | "
              f"{r['ours'] / r['base_time']:.2f}× |")


if __name__ == "__main__":
    main()

"""Where a benchmark also hands its rows to bench/run_all.py: one JSON line per operation,
appended to the file named by QIV_BENCH_ROWS (nothing happens when it is not set)."""
import json
import os


def record(operation, ours_seconds, peer, peer_seconds):
    path = os.environ.get("QIV_BENCH_ROWS")
    if not path:
        return
    with open(path, "a", encoding="utf-8") as f:
        f.write(json.dumps({"operation": operation, "ours": ours_seconds, "peer": peer, "peer_time": peer_seconds}) + "\n")

"""Where a benchmark also hands its rows to bench/run_all.py: one JSON line per operation,
appended to the file named by QIV_BENCH_ROWS (nothing happens when it is not set)."""
import json
import os


def _write(row):
    path = os.environ.get("QIV_BENCH_ROWS")
    if not path:
        return
    with open(path, "a", encoding="utf-8") as f:
        f.write(json.dumps(row) + "\n")


def record(operation, ours_seconds, peer, peer_seconds):
    """Ours against a peer doing the same work."""
    _write({"operation": operation, "ours": ours_seconds, "peer": peer, "peer_time": peer_seconds})


def record_cost(operation, seconds, base, base_seconds):
    """Ours doing more work against ours doing less: the ratio is what the extra work costs."""
    _write({"operation": operation, "ours": seconds, "base": base, "base_time": base_seconds})

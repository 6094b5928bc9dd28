"""Median cost of the stream round trip, ours against the same work in pure Python.

Both write their two debug lines to file descriptor 1, which points at /dev/null meanwhile.
Prints one row per operation: ours, the peer, and the ratio peer/ours.
"""
import os
import statistics
import struct
import sys
import time

import bench_rows

import qiv_framework

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests"))
from conftest import eapiconfig_stream  # noqa: E402


def _read_text(data, pos):
    (n,) = struct.unpack_from("<i", data, pos)
    pos += 4
    if n in (-1, 0):
        return "", pos
    if n < -1:
        raise RuntimeError("capacity overflow")
    if n > len(data) - pos:
        raise OSError("failed to fill whole buffer")
    return data[pos : pos + n].decode(), pos + n


def _write_text(s):
    raw = s.encode()
    return struct.pack("<i", len(raw) if raw else -1) + raw


def python_round_trip(data):
    data = bytes(data)
    id_, pos = _read_text(data, 0)
    (t,) = struct.unpack_from("<q", data, pos)
    pos += 8
    os.write(1, f"DEBUG [bench_round_trip.py:1]:\nid: {id_!r} time:{t}\n\n".encode())
    flag = data[pos] != 0
    name, pos = _read_text(data, pos + 1)
    url, pos = _read_text(data, pos)
    os.write(1, f"DEBUG [bench_round_trip.py:2]:\neApiConfigOut: {id_!r} {t} {flag} {name!r} {url!r}\n\n".encode())
    return _write_text(id_) + struct.pack("<q", t) + bytes([flag]) + _write_text("name_test_rust") + _write_text(
        "url_logo_test_rust"
    )


def median_ns(fn, arg, rounds=15, inner=2000):
    samples = []
    for _ in range(rounds):
        start = time.perf_counter_ns()
        for _ in range(inner):
            fn(arg)
        samples.append((time.perf_counter_ns() - start) / inner)
    return statistics.median(samples)


def rows():
    stream = eapiconfig_stream(id="a" * 64, time=1712188800, flag=1, name="name", url_logo="https://example.org/l.png")
    assert python_round_trip(stream) == qiv_framework.do_set_eapiconfig(stream)
    out = []
    for label, arg in [("bytes", stream), ("list", list(stream))]:
        ours = median_ns(qiv_framework.do_set_eapiconfig, arg)
        peer = median_ns(python_round_trip, arg)
        out.append((f"do_set_eapiconfig ({label})", ours, "pure Python (struct, os.write)", peer))
    return out


def main():
    saved = os.dup(1)
    null = os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, 1)
    try:
        results = rows()
    finally:
        os.dup2(saved, 1)
    for op, ours, peer_name, peer in results:
        print(f"{op:32} {ours:10.0f} ns  {peer_name:32} {peer:10.0f} ns  x{peer / ours:5.1f}")
        bench_rows.record(op, ours * 1e-9, peer_name, peer * 1e-9)


if __name__ == "__main__":
    main()

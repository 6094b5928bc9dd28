"""Benchmark of the EApiConfigRust record against the same operations in pure Python.

Prints nanoseconds per call for the constructor, to_bytes, from_bytes and to_string, each beside a
pure-Python counterpart (a __slots__ class, struct, hashlib for the identifier) and the ratio; then
creates and drops a million records and prints the memory use and the class's reference count
before and after. Not a test: build the module with CMAKE_BUILD_TYPE=Release (as a wheel build
does) and put it on PYTHONPATH; an unoptimised build is several times slower.

    .venv/bin/python bench/bench_record.py [--quick]

Exits with status 1 when one of ours is less than 5 times as fast as its counterpart.
"""

import gc
import hashlib
import itertools
import os
import struct
import sys
import time
import timeit

import bench_rows

from qiv_framework import EApiConfigRust

REQUIRED_RATIO = 5.0
VERSION = 20240404

# ---- the pure-Python counterpart ----

_I32 = struct.Struct("<i")
_MIDDLE = struct.Struct("<qq?")  # time, version, isLocal
_EMPTY_TEXT = _I32.pack(-1)
_ids = itertools.count()


def _text(value):
    data = value.encode()
    return _I32.pack(len(data)) + data if data else _EMPTY_TEXT


def _read_text(data, pos):
    (count,) = _I32.unpack_from(data, pos)
    pos += 4
    if count in (-1, 0):
        return "", pos
    if count < -1:
        raise MemoryError("capacity overflow")
    end = pos + count
    if end > len(data):
        raise OSError("failed to fill whole buffer")
    return data[pos:end].decode(), end


class PyRecord:
    __slots__ = ("id", "time", "version", "isLocal", "name", "url_logo")

    def __init__(self, isLocal, name, url_logo):
        if type(isLocal) is not bool:
            raise TypeError("argument 'isLocal': not a bool")
        if not isinstance(name, str) or not isinstance(url_logo, str):
            raise TypeError("argument 'name'/'url_logo': not a str")
        self.id = hashlib.sha256(f"{time.time_ns()}{next(_ids)}".encode()).hexdigest()
        self.time = int(time.time())
        self.version = VERSION
        self.isLocal = isLocal
        self.name = name
        self.url_logo = url_logo

    def to_bytes(self):
        return list(
            b"".join(
                (
                    _text(self.id),
                    _MIDDLE.pack(self.time, self.version, self.isLocal),
                    _text(self.name),
                    _text(self.url_logo),
                )
            )
        )

    def from_bytes(self, data_bytes):
        if not isinstance(data_bytes, bytes):
            raise TypeError("argument 'data_bytes': not bytes")
        try:
            id_, pos = _read_text(data_bytes, 0)
            time_, version, is_local = _MIDDLE.unpack_from(data_bytes, pos)
            name, pos = _read_text(data_bytes, pos + _MIDDLE.size)
            url_logo, pos = _read_text(data_bytes, pos)
        except struct.error:
            raise OSError("failed to fill whole buffer") from None
        except UnicodeDecodeError:
            raise OSError("Invalid UTF-8") from None
        record = PyRecord.__new__(PyRecord)
        record.id, record.time, record.version = id_, time_, version
        record.isLocal, record.name, record.url_logo = is_local, name, url_logo
        return record

    def to_string(self):
        return (
            f"id: {self.id}, time: {self.time}, version: {self.version}"
            f" name: {self.name}, url_logo: {self.url_logo}"
        )


# ---- measurement ----


def ns_per_call(stmt, namespace, repeat):
    timer = timeit.Timer(stmt, globals=namespace)
    number, _ = timer.autorange()
    number = max(number, 10_000)
    return min(timer.repeat(repeat=repeat, number=number)) / number * 1e9


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def churn(count):
    """Creates and drops `count` records; returns the seconds taken and (RSS, class refcount)
    before and after."""
    EApiConfigRust(True, "warm", "up")  # type object, allocator pools and the like
    gc.collect()
    before = rss_bytes(), sys.getrefcount(EApiConfigRust)
    start = time.perf_counter()
    for _ in range(count):
        EApiConfigRust(True, "name", "https://example.invalid/logo.png")
    elapsed = time.perf_counter() - start
    gc.collect()
    return elapsed, before, (rss_bytes(), sys.getrefcount(EApiConfigRust))


def main():
    quick = "--quick" in sys.argv
    repeat = 3 if quick else 7
    name, url_logo = "endpoint name", "https://example.invalid/logo.png"
    ours = EApiConfigRust(True, name, url_logo)
    pure = PyRecord(True, name, url_logo)
    data = bytes(ours.to_bytes())
    assert pure.to_bytes()[85:] == ours.to_bytes()[85:]
    assert pure.from_bytes(data).to_string() == ours.from_bytes(data).to_string()
    namespace = {"E": EApiConfigRust, "P": PyRecord, "ours": ours, "pure": pure, "data": data,
                 "name": name, "url_logo": url_logo}

    rows = [
        ("constructor", "E(True, name, url_logo)", "P(True, name, url_logo)"),
        ("to_bytes", "ours.to_bytes()", "pure.to_bytes()"),
        ("from_bytes", "ours.from_bytes(data)", "pure.from_bytes(data)"),
        ("to_string", "ours.to_string()", "pure.to_string()"),
    ]
    print(f"{'operation':<12} {'ours ns':>9} {'Python ns':>10} {'ratio':>7}")
    slow = []
    for label, ours_stmt, pure_stmt in rows:
        t_ours = ns_per_call(ours_stmt, namespace, repeat)
        t_pure = ns_per_call(pure_stmt, namespace, repeat)
        ratio = t_pure / t_ours
        flag = "" if ratio >= REQUIRED_RATIO else f"  < {REQUIRED_RATIO:g}x"
        if flag:
            slow.append(label)
        print(f"{label:<12} {t_ours:>9.1f} {t_pure:>10.1f} {ratio:>6.1f}x{flag}")
        bench_rows.record(f"record {label}", t_ours * 1e-9, "pure Python (struct, __slots__ class)", t_pure * 1e-9)

    count = 100_000 if quick else 1_000_000
    elapsed, (rss_before, refs_before), (rss_after, refs_after) = churn(count)
    print(f"\n{count:,} records created and dropped in {elapsed:.2f} s")
    print(f"  RSS             {rss_before / 1024:,.0f} KiB -> {rss_after / 1024:,.0f} KiB")
    print(f"  class refcount  {refs_before} -> {refs_after}")
    if slow:
        print("slower than required:", ", ".join(slow))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

import struct
import subprocess
import sys
import textwrap

import pytest


def text(value):
    """The stream form of a text: a signed 32-bit count, then the UTF-8 bytes; empty is FF FF FF FF."""
    raw = value.encode() if isinstance(value, str) else value
    return struct.pack("<i", len(raw) if raw else -1) + raw


# What a round trip writes after the flag, whatever came in: the fixed name and logo address,
# spelt out byte by byte rather than built with text().
ROUND_TRIP_TAIL = bytes([0x0E, 0, 0, 0]) + b"name_test_rust" + bytes([0x12, 0, 0, 0]) + b"url_logo_test_rust"


def eapiconfig_stream(id="", time=0, flag=0, name="", url_logo=""):
    return text(id) + struct.pack("<q", time) + bytes([flag]) + text(name) + text(url_logo)


def run_python(code, timeout=120, **kwargs):
    """Runs code in a fresh interpreter; returns the completed process (bytes output)."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, timeout=timeout,
                          **kwargs)


def run_python_ok(code, **kwargs):
    """Runs code in a fresh interpreter, which must end normally; returns its stdout."""
    proc = run_python(code, **kwargs)
    assert proc.returncode == 0, proc.stderr.decode(errors="replace")
    return proc.stdout.decode()


# Child code: a panic raised by `module` at every depth down to the recursion limit, the deepest
# first; each gives PanicException or RecursionError, and the names of those seen are printed.
PANIC_AT_EVERY_DEPTH = """
import sys
seen = [None] * (sys.getrecursionlimit() + 10)

def descend(depth):
    try:
        descend(depth + 1)
    except RecursionError:
        pass
    try:
        module.do_set_eapiconfig(b"")
    except BaseException as e:
        seen[depth] = e

descend(0)
names = sorted({type(e).__name__ for e in seen if e is not None})
assert set(names) <= {"PanicException", "RecursionError"}, names
print(names)
"""


def panic_type():
    import qiv_framework

    try:
        qiv_framework.do_set_eapiconfig(b"")
    except BaseException as e:  # noqa: B036 - the panic type derives from BaseException
        return type(e)


@pytest.fixture(scope="session")
def PanicException():
    return panic_type()

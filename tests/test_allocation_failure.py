"""Allocations made to fail one at a time with the interpreter's test hooks, each sweep in a child
interpreter of its own: an abort of the process, or an error that is not what it claims, is the
failure looked for."""

import pytest

from conftest import PANIC_AT_EVERY_DEPTH, run_python_ok

_testcapi = pytest.importorskip("_testcapi")

# Child code: sweep(action) runs action with one allocation failing, each in turn, by the
# interpreter's own test hook.
SWEEP = """
import _testcapi

def sweep(action, limit=100_000):
    '''Runs action with allocation n failing, for n = 0, 1, ... until it succeeds; returns the
    errors raised on the way.'''
    errors = []
    for n in range(limit):
        _testcapi.set_nomemory(n, n + 1)
        try:
            action()
        except BaseException as e:  # a MemoryError, or whatever the failure became
            _testcapi.remove_mem_hooks()
            errors.append(e)
            continue
        _testcapi.remove_mem_hooks()
        return errors
    raise AssertionError("never succeeded")
"""


def test_module_never_exists_without_its_panic_type():
    out = run_python_ok(SWEEP + """
import _imp, importlib.util

spec = importlib.util.find_spec("qiv_framework")
made = []
errors = sweep(lambda: made.append(_imp.create_dynamic(spec)))
assert errors and {type(e) for e in errors} <= {MemoryError, SystemError}, errors
module = made[0]

# A first panic where an allocation fails needs no new type: each failure in turn.
def panic():
    try:
        module.do_set_eapiconfig(b"")
    except BaseException as e:
        if type(e).__name__ != "PanicException":
            raise

assert {type(e) for e in sweep(panic)} <= {MemoryError}
""" + PANIC_AT_EVERY_DEPTH)
    assert "PanicException" in out.splitlines()[-1]


def test_failure_standing_in_for_a_wrapped_error_carries_no_cause():
    # The conversion error has a cause, which the wrapped error keeps; when the wrapped error
    # cannot be made, the failure that stands in for it is no wrapped error and has no such cause.
    out = run_python_ok(SWEEP + """
import qiv_framework

class CausedIndex:
    def __index__(self):
        raise TypeError("inner") from ValueError("root")

item = CausedIndex()
wrapped = []

def call():
    try:
        qiv_framework.do_set_eapiconfig([item])
    except TypeError as e:
        if str(e) != "argument 'dataEApiConfig': inner":
            raise
        wrapped.append(e)

errors = sweep(call)
assert repr(wrapped[0].__cause__) == "ValueError('root')"
assert errors and all(type(e) is MemoryError for e in errors), errors
print([repr(e.__cause__) for e in errors if e.__cause__ is not None])
""")
    assert out.splitlines()[-1] == "[]"

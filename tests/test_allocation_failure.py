"""Allocations made to fail one at a time with the interpreter's test hooks, in child interpreters:
an abort of the process, or an error that is not what it claims, is the failure looked for."""

import ast
import json
import os
import subprocess
from pathlib import Path

import pytest

from conftest import PANIC_AT_EVERY_DEPTH, run_python_ok

_testcapi = pytest.importorskip("_testcapi")

# Child code: failing(first, last, action) runs action with allocations failing by the
# interpreter's own test hook; sweep(action) runs it with one allocation failing, each in turn.
SWEEP = """
import _testcapi

def failing(first, last, action):
    '''Runs action with allocations first to last - 1 failing (last 0: every one from first on);
    returns its value and None, or None and what it raised.'''
    _testcapi.set_nomemory(first, last)
    try:
        value = action()
    except BaseException as e:  # a MemoryError, or whatever the failure became
        _testcapi.remove_mem_hooks()
        return None, e
    _testcapi.remove_mem_hooks()
    return value, None

def sweep(action, limit=100_000):
    '''Runs action with allocation n failing, for n = 0, 1, ... until it succeeds; returns the
    errors raised on the way.'''
    errors = []
    for n in range(limit):
        _, error = failing(n, n + 1, action)
        if error is None:
            return errors
        errors.append(error)
    raise AssertionError("never succeeded")
"""


# Child code, after SWEEP and with FIRST and LAST set: creates the module with allocations
# FIRST to LAST - 1 failing (LAST 0: every one from FIRST on) and prints how that ended; after a
# failure it creates the module again, then checks the module and its panic type.
CREATE_AT = """
import _imp, importlib.util, json

spec = importlib.util.find_spec("qiv_framework")
module, error = failing(FIRST, LAST, lambda: _imp.create_dynamic(spec))
if error is None:
    print("OUTCOME null")
else:
    print("OUTCOME " + json.dumps([type(error).__name__, str(error), type(error.__cause__).__name__]))
    module = _imp.create_dynamic(spec)  # a failed creation must not stand in the way of the next
assert module.__all__ == ["do_set_eapiconfig", "do_test_binary", "EApiConfigRust"], module.__all__

# A first panic where an allocation fails needs no new type: each failure in turn.
def panic():
    try:
        module.do_set_eapiconfig(b"")
    except BaseException as e:
        if type(e).__name__ != "PanicException":
            raise

assert {type(e) for e in sweep(panic)} <= {MemoryError}
"""


def create_with_failing(first, last):
    """Creates the module in a fresh interpreter with allocations first to last - 1 failing (last 0:
    every one from first on); returns [type, message, type of cause] of its error, None if none."""
    out = run_python_ok(f"FIRST, LAST = {first}, {last}\n" + SWEEP + CREATE_AT + PANIC_AT_EVERY_DEPTH)
    assert "PanicException" in out.splitlines()[-1]
    return json.loads(next(line for line in out.splitlines() if line.startswith("OUTCOME "))[8:])


def test_module_never_exists_without_its_panic_type():
    """Each allocation of module creation fails in turn, in a fresh interpreter each time (one that
    has tried before reuses much of what it made); whatever the creation ends in, the module made
    then or on the next try raises its own panic type."""
    errors = {}
    for n in range(10_000):
        error = create_with_failing(n, n + 1)
        # Creation may absorb a failure and succeed, and then still allocate more after it: it is
        # over only once it succeeds with every allocation from n on failing.
        if error is None and create_with_failing(n, 0) is None:
            break
        if error is not None:
            errors[n] = error
    else:
        pytest.fail("module creation never ended")
    names = {name for name, _, _ in errors.values()}
    # PanicException: an API call of the module body that must not fail did; the type exists by then.
    assert "MemoryError" in names and names <= {"MemoryError", "PanicException", "RuntimeError"}, errors
    for n, (name, message, cause) in errors.items():
        if name == "RuntimeError":
            # SystemError stands in where the interpreter lets an allocation fail without an error set.
            assert message == "An error occurred while initializing class EApiConfigRust", (n, message)
            assert cause in {"MemoryError", "SystemError"}, (n, cause)


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


BAD_INDEX = """
class BadIndex:
    def __index__(self):
        return "x"
"""

# Child code: whether the interpreter itself raises a TypeError without its message when making
# the message fails (as 3.11 did before 3.11.5), instead of the MemoryError.
LOSES_MEMORY_ERROR = """
import operator

def index_of_float():
    try:
        operator.index(1.5)
    except TypeError as e:
        if not e.args:
            raise

print("LOSES", any(type(e) is TypeError for e in sweep(index_of_float)))
"""

BARE = "TypeError(\"argument 'dataEApiConfig': \")"


@pytest.mark.parametrize("argument, detail", [
    ("[1.5]", "'float' object cannot be interpreted as an integer"),
    ("array.array('d', [1.0])", "'float' object cannot be interpreted as an integer"),
    ("[b'a']", "'bytes' object cannot be interpreted as an integer"),
    ("[BadIndex()]", "__index__ returned non-int (type str)"),
])
def test_argument_error_raised_by_the_interpreter_is_whole_or_memory_error(argument, detail):
    # The interpreter raises these unnormalised; normalising them while an allocation fails puts
    # a MemoryError in their place, which must not be wrapped as an empty argument error.
    out = run_python_ok(SWEEP + BAD_INDEX + LOSES_MEMORY_ERROR + f"""
import array, qiv_framework
argument = {argument}
expected = "argument 'dataEApiConfig': " + {detail!r}

def call():
    try:
        qiv_framework.do_set_eapiconfig(argument)
    except TypeError as e:
        if str(e) != expected:
            raise

errors = sweep(call)
print(sorted({{"MemoryError" if type(e) is MemoryError else repr(e) for e in errors}}))
""")
    *_, loses, last = out.splitlines()
    raised = set(ast.literal_eval(last))
    # Only an interpreter that drops the message itself leaves nothing but the argument's name.
    allowed = {"MemoryError", BARE} if loses == "LOSES True" else {"MemoryError"}
    assert "MemoryError" in raised and raised <= allowed, raised


@pytest.fixture(scope="session")
def fail_new_shim(tmp_path_factory):
    """The preloadable library that makes a chosen C++ allocation fail, built for this run."""
    library = tmp_path_factory.mktemp("shim") / "libfail_new.so"
    source = Path(__file__).resolve().parent / "shims" / "fail_new.cpp"
    subprocess.run(["g++", "-std=c++20", "-O2", "-shared", "-fPIC", "-o", str(library), str(source)], check=True)
    return library


# Child code: each C++ allocation of action fails in turn, until one run of it asks for fewer;
# prints the names of what each run raised.
CPP_SWEEP = """
import ctypes, qiv_framework

shim = ctypes.CDLL(None)
shim.qiv_fail_new_after.argtypes = [ctypes.c_long]
shim.qiv_new_countdown.restype = ctypes.c_long
record = qiv_framework.EApiConfigRust(True, "name", "url")
action = lambda: ACTION
raised = []
while True:
    shim.qiv_fail_new_after(len(raised))
    try:
        action()
        name = None
    except BaseException as e:
        name = type(e).__name__
    if shim.qiv_new_countdown() >= 0:  # no allocation failed: every one has been tried
        break
    raised.append(name)
    shim.qiv_fail_new_after(-1)
print(raised)
"""


@pytest.mark.skipif("LD_PRELOAD" in os.environ, reason="a runtime preloaded into the tests replaces operator new")
@pytest.mark.parametrize("call", [
    'qiv_framework.do_test_binary(b"")',
    'qiv_framework.do_set_eapiconfig(b"")',
    'record.from_bytes(b"\\xfe\\xff\\xff\\xff")',  # a text count of -2
])
def test_cpp_allocation_failing_in_a_panicking_call(fail_new_shim, call):
    # The panic's message is moved into the exception on its way out; the process never aborts.
    out = run_python_ok(CPP_SWEEP.replace("ACTION", call), env=dict(os.environ, LD_PRELOAD=str(fail_new_shim)))
    raised = ast.literal_eval(out.splitlines()[-1])
    assert "MemoryError" in raised and set(raised) <= {"MemoryError", "PanicException"}, raised

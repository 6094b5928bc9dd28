"""Plain Python code as a careless or hostile caller of the three entries that collect arguments.
Each case runs in a child interpreter: a crash, an abort or an exit of the process is the failure
looked for."""

import textwrap

import pytest

from conftest import PANIC_AT_EVERY_DEPTH, run_python_ok

ENTRIES = ["constructor", "do_set_eapiconfig", "from_bytes"]

PRELUDE = """
import gc, os, struct, sys
import qiv_framework
from qiv_framework import EApiConfigRust

record = EApiConfigRust(True, "n", "u")
# entry: the callable, its name in messages, an argument refused with a wrapped TypeError
ENTRIES = {
    "constructor": (EApiConfigRust, "EApiConfigRust.__new__()", (1, "a", "b"),
                    "argument 'isLocal': 'int' object cannot be converted to 'PyBool'"),
    # an error that the interpreter raised, not one of ours still to be made
    "do_set_eapiconfig": (qiv_framework.do_set_eapiconfig, "do_set_eapiconfig()", ([1.0],),
                          "argument 'dataEApiConfig': 'float' object cannot be interpreted as an integer"),
    "from_bytes": (record.from_bytes, "EApiConfigRust.from_bytes()", (bytearray(),),
                   "argument 'data_bytes': 'bytearray' object cannot be converted to 'PyBytes'"),
}
call, full_name, bad_args, bad_message = ENTRIES[ENTRY]
"""


def run_child(entry, body):
    """Runs body after the prelude in a fresh interpreter, which must end normally; returns its stdout."""
    return run_python_ok(f"ENTRY = {entry!r}\n" + textwrap.dedent(PRELUDE) + textwrap.dedent(body))


# Only the constructor runs caller code while it converts arguments that a keyword dict alone can
# hold: fast-call arguments are held by the interpreter's own call, and from_bytes runs no caller code.
def test_arguments_outlive_caller_code_that_drops_them():
    run_child("constructor", """
        class Flag:  # read as a numpy boolean, so its __bool__ runs during the conversion
            def __bool__(self):
                for holder in gc.get_referrers(self):
                    if isinstance(holder, dict):
                        holder.clear()  # the call's keyword dict: it alone holds the texts
                self.churn = ["%0600d" % i for i in range(200)]  # takes the freed memory, were it freed
                return True
        Flag.__name__ = "numpy.bool_"

        for i in range(20):  # texts past the interpreter's small-object pools, so that malloc's checks see them
            made = EApiConfigRust(**{"isLocal": Flag(), "name": "n%02d" % i * 200, "url_logo": "u%02d" % i * 200})
            assert (made.isLocal, made.name, made.url_logo) == (True, "n%02d" % i * 200, "u%02d" % i * 200)
    """)


def test_instance_the_new_slot_never_filled():
    # The class is mutable: Python can hand out instances that object.__new__ made.
    run_child("constructor", """
        EApiConfigRust.__new__ = lambda cls, *args, **kwargs: object.__new__(cls)
        blank = EApiConfigRust()
        empty_form = b"\\xff" * 4 + bytes(17) + b"\\xff" * 8
        assert (blank.id, blank.time, blank.version, blank.isLocal, blank.name, blank.url_logo) == \\
            ("", 0, 0, False, "", "")
        assert bytes(blank.to_bytes()) == empty_form and blank.from_bytes(empty_form).name == ""
        blank.name, blank.url_logo, blank.isLocal = "short", "long " * 100, True
        assert blank.to_string() == "id: , time: 0, version: 0 name: short, url_logo: " + "long " * 100
        for _ in range(1000):
            EApiConfigRust()  # dropped unfilled: nothing to release but the object
    """)


@pytest.mark.parametrize("after_panic", [False, True], ids=["fresh", "after_panic"])
@pytest.mark.parametrize("entry", ENTRIES)
def test_argument_error_at_every_depth_down_to_the_limit(entry, after_panic):
    out = run_child(entry, f"""
        if {after_panic}:
            try:
                qiv_framework.do_set_eapiconfig(b"")  # an ordinary panic: its type now exists
            except BaseException as e:
                assert type(e).__name__ == "PanicException"

        seen = [None] * (sys.getrecursionlimit() + 10)

        def descend(depth):
            try:
                descend(depth + 1)
            except RecursionError:
                pass  # the limit: calls start here, the deepest first, and go up one depth at a time
            try:
                call(*bad_args)
            except BaseException as e:  # stored, not inspected: any call here may hit the limit
                seen[depth] = e

        descend(0)
        deepest = max(i for i, e in enumerate(seen) if e is not None)
        # where str() of the interpreter's error meets the limit, the stand-in takes its place
        unprintable = bad_message.split(": ")[0] + ": <unprintable TypeError object>"
        for e in seen[:deepest + 1]:
            assert type(e) in (TypeError, RecursionError), repr(e)
            assert type(e) is RecursionError or str(e) in (bad_message, unprintable), str(e)
        print(deepest > 900)
    """)
    assert out.splitlines()[-1] == "True"


@pytest.mark.parametrize("failure, reported", [
    ("raise SystemExit(3)", "SystemExit"),
    ("raise ValueError('no text')", "ValueError"),
    ("return 5", "TypeError"),  # __str__ returned non-string
])
@pytest.mark.parametrize("entry", ENTRIES)
def test_keyword_name_whose_str_fails(entry, failure, reported):
    out = run_child(entry, f"""
        class Name(str):
            def __str__(self):
                {failure}

        reports = []
        sys.unraisablehook = lambda report: reports.append(report.exc_type.__name__)
        try:
            call(**{{Name("bogus"): 1}})
        except TypeError as e:
            assert str(e) == full_name + " got an unexpected keyword argument '<unprintable Name object>'", str(e)
        finally:
            print("finally")
        print(reports)
        assert record.to_string().endswith("name: n, url_logo: u")
    """)
    assert out == f"finally\n['{reported}']\n"


def test_first_panic_at_every_depth_down_to_the_limit():
    # The process's first panic, raised where the interpreter refuses new objects.
    out = run_child("do_set_eapiconfig", "module = qiv_framework\n" + PANIC_AT_EVERY_DEPTH)
    assert "PanicException" in out.splitlines()[-1]

import os
import sys

import pytest

import qiv_framework
from conftest import eapiconfig_stream, run_python


def test_contents():
    assert qiv_framework.__all__ == ["do_set_eapiconfig", "do_test_binary", "EApiConfigRust"]
    assert qiv_framework.__doc__ == "A Python module implemented in Rust."
    assert qiv_framework.__name__ == "qiv_framework"
    for name in qiv_framework.__all__:
        assert getattr(qiv_framework, name) is not None


def test_second_import_returns_the_same_module():
    first = qiv_framework
    del sys.modules["qiv_framework"]
    try:
        import qiv_framework as again

        assert again is first
        assert again.__all__ == ["do_set_eapiconfig", "do_test_binary", "EApiConfigRust"]
    finally:
        sys.modules["qiv_framework"] = first


def test_subinterpreter_refused():
    proc = run_python(
        """
        import qiv_framework, _xxsubinterpreters as si
        interp = si.create()
        try:
            si.run_string(interp, "import qiv_framework")
        except si.RunFailedError as e:
            print(e)
        si.destroy(interp)
        """
    )
    assert proc.returncode == 0, proc.stderr
    assert proc.stdout.decode().strip() == (
        "<class 'ImportError'>: PyO3 modules do not yet support subinterpreters, "
        "see https://github.com/PyO3/pyo3/issues/576"
    )


STREAM = eapiconfig_stream(id="z", time=1)


def test_closed_stdout_drops_lines():
    proc = run_python(
        f"""
        import os, sys, qiv_framework
        os.close(1)
        out = qiv_framework.do_test_binary({STREAM!r})
        sys.stderr.write(repr(len(out)))
        """
    )
    assert proc.returncode == 0, proc.stderr
    assert proc.stderr.decode().endswith("54")


def test_broken_pipe_panics():
    proc = run_python(
        f"""
        import os, sys, qiv_framework
        r, w = os.pipe()
        os.close(r)
        os.dup2(w, 1)
        try:
            qiv_framework.do_test_binary({STREAM!r})
        except BaseException as e:
            sys.stderr.write("\\n" + type(e).__name__ + ": " + str(e))
        """
    )
    last = proc.stderr.decode().splitlines()[-1]
    assert last == "PanicException: failed printing to stdout: Broken pipe (os error 32)"


def test_debug_lines_bypass_sys_stdout(capfd):
    import contextlib
    import io

    buffer = io.StringIO()
    with contextlib.redirect_stdout(buffer):
        qiv_framework.do_test_binary(STREAM)
    assert buffer.getvalue() == ""
    assert capfd.readouterr().out.startswith("DEBUG [src/qiv/entity/EObject.cpp:")


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
def test_round_trip_memory_is_flat(capfd):
    def rss():
        with open("/proc/self/statm") as f:
            return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")

    stream = eapiconfig_stream(id="q" * 64, name="n" * 1000)
    for _ in range(2000):
        qiv_framework.do_set_eapiconfig(stream)
    capfd.readouterr()
    before = rss()
    for _ in range(20000):
        qiv_framework.do_set_eapiconfig(stream)
        capfd.readouterr()
    assert rss() - before < 4 * 1024 * 1024

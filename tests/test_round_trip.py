import array
import re
import struct

import pytest

import qiv_framework
from conftest import ROUND_TRIP_TAIL, eapiconfig_stream, text

FUNCTIONS = [qiv_framework.do_set_eapiconfig, qiv_framework.do_test_binary]


def expected(id_bytes, time, flag):
    return id_bytes + struct.pack("<q", time) + bytes([flag]) + ROUND_TRIP_TAIL


@pytest.fixture(params=FUNCTIONS, ids=lambda f: f.__name__)
def fn(request):
    return request.param


class TestOutput:
    @pytest.mark.parametrize(
        "stream, out",
        [
            (eapiconfig_stream(time=0x1122334455667788), expected(b"\xff" * 4, 0x1122334455667788, 0)),
            (eapiconfig_stream(time=-1, flag=5), expected(b"\xff" * 4, -1, 1)),
            (eapiconfig_stream(id="x" * 64, time=7, flag=1, name="n", url_logo="u"), expected(text("x" * 64), 7, 1)),
            # a count of 0 reads as the empty text and is written back as FF FF FF FF
            (b"\0\0\0\0" + eapiconfig_stream()[4:], expected(b"\xff" * 4, 0, 0)),
            # bytes after the record are not part of it
            (eapiconfig_stream(id="é", time=3) + b"junk", expected(text("é"), 3, 0)),
            (eapiconfig_stream(name="\0nul\0", url_logo="a" * 1000), expected(b"\xff" * 4, 0, 0)),
        ],
    )
    def test_byte_exact(self, fn, stream, out, capfd):
        assert fn(stream) == out
        capfd.readouterr()

    def test_lengths(self, fn, capfd):
        assert len(fn(eapiconfig_stream())) == 53
        assert len(fn(eapiconfig_stream(id="a" * 64))) == 117
        capfd.readouterr()

    @pytest.mark.parametrize(
        "convert",
        [bytes, bytearray, list, tuple, memoryview, lambda b: array.array("B", b), lambda b: [bool(x) for x in b]],
        ids=["bytes", "bytearray", "list", "tuple", "memoryview", "array", "bools"],
    )
    def test_any_byte_sequence(self, fn, convert, capfd):
        # only the bytes 0 and 1, so that a list of bools can spell it too
        stream = eapiconfig_stream(id="\x01", time=0x0100010001000100, flag=1, name="\x01", url_logo="\x01")
        result = fn(convert(stream))
        assert type(result) is bytes
        assert result == fn(bytes(stream))
        capfd.readouterr()

    def test_range_object(self, fn, capfd):
        # a range is a sequence of small ints too: here the count 0, then time 0x0b0a09080706050 4
        with pytest.raises(BaseException) as info:
            fn(range(4, 12))
        assert "failed to fill whole buffer" in str(info.value)
        capfd.readouterr()

    def test_keyword_form_and_both_functions_agree(self, capfd):
        data = eapiconfig_stream(id="k", time=9)
        assert qiv_framework.do_set_eapiconfig(dataEApiConfig=data) == qiv_framework.do_test_binary(data)
        capfd.readouterr()


class TestArguments:
    @pytest.mark.parametrize(
        "call, message",
        [
            (lambda f: f(), "{}() missing 1 required positional argument: 'dataEApiConfig'"),
            (lambda f: f(b"a", b"b"), "{}() takes 1 positional arguments but 2 were given"),
            (lambda f: f(b"", dataEApiConfig=b""), "{}() got multiple values for argument 'dataEApiConfig'"),
            (lambda f: f(data=b""), "{}() got an unexpected keyword argument 'data'"),
            (lambda f: f(**{"dataEApiConfig\ud800": b""}), "{}() got an unexpected keyword argument 'dataEApiConfig\ud800'"),
            (lambda f: f("abc"), "argument 'dataEApiConfig': Can't extract `str` to `Vec`"),
            (lambda f: f(5), "argument 'dataEApiConfig': 'int' object cannot be converted to 'Sequence'"),
            (lambda f: f(None), "argument 'dataEApiConfig': 'NoneType' object cannot be converted to 'Sequence'"),
            (lambda f: f({}), "argument 'dataEApiConfig': 'dict' object cannot be converted to 'Sequence'"),
            (lambda f: f(x for x in b""), "argument 'dataEApiConfig': 'generator' object cannot be converted to 'Sequence'"),
        ],
    )
    def test_type_errors(self, fn, call, message):
        with pytest.raises(TypeError) as info:
            call(fn)
        assert type(info.value) is TypeError
        assert str(info.value) == message.format(fn.__name__)

    class CausedIndex:
        def __index__(self):
            raise TypeError("inner") from ValueError("root")

    @pytest.mark.parametrize("item, cause", [(1.0, "None"), (CausedIndex(), "ValueError('root')")])
    def test_non_integer_item_is_wrapped(self, fn, item, cause):
        with pytest.raises(TypeError, match=r"^argument 'dataEApiConfig': ") as info:
            fn([item])
        assert repr(info.value.__cause__) == cause

    @pytest.mark.parametrize("items", [[1, 256], [-1], [2**63 - 1]])
    def test_out_of_range_item(self, fn, items):
        with pytest.raises(OverflowError) as info:
            fn(items)
        assert str(info.value) == "out of range integral type conversion attempted"

    def test_item_beyond_64_bits(self, fn):
        with pytest.raises(OverflowError, match="too large"):
            fn([2**64])

    def test_raising_iterator_passes_unchanged(self, fn):
        class Boom(list):
            def __iter__(self):
                raise KeyError("boom")

        with pytest.raises(KeyError):
            fn(Boom([1]))

    def test_str_subclass_refused(self, fn):
        class S(str):
            pass

        with pytest.raises(TypeError, match="Can't extract `str` to `Vec`"):
            fn(S("abc"))

    def test_huge_claimed_length_does_not_preallocate(self, fn):
        class Liar:
            def __len__(self):
                return 2**62

            def __getitem__(self, i):
                raise IndexError

        with pytest.raises(BaseException, match="failed to fill whole buffer"):
            fn(Liar())

    def test_signature(self, fn):
        assert fn.__text_signature__ == "(dataEApiConfig)"
        assert fn.__doc__ is None
        assert fn.__module__ == "qiv_framework"
        assert fn.__self__ is qiv_framework


class TestDecodeFailures:
    @pytest.mark.parametrize(
        "stream, lines, message",
        [
            (b"", 0, "Failed to parse EApiConfig: failed to fill whole buffer"),
            (b"\x05\0\0\0ab", 0, "Failed to parse EApiConfig: failed to fill whole buffer"),
            (text(b"\xc3\x28"), 0, "Failed to parse EApiConfig: Invalid UTF-8"),
            (eapiconfig_stream()[:11], 0, "Failed to parse EApiConfig: failed to fill whole buffer"),
            (eapiconfig_stream()[:12], 1, "Failed to parse EApiConfig: failed to fill whole buffer"),
            (eapiconfig_stream()[:16], 1, "Failed to parse EApiConfig: failed to fill whole buffer"),
            (eapiconfig_stream()[:13] + text(b"\xed\xa0\x80"), 1, "Failed to parse EApiConfig: Invalid UTF-8"),
            (b"\xfe\xff\xff\xff", None, "capacity overflow"),
            (b"\0\0\0\x80" + b"x" * 100, None, "capacity overflow"),
            (eapiconfig_stream()[:13] + b"\xfe\xff\xff\xff", 1, "capacity overflow"),
        ],
    )
    def test_panics(self, fn, stream, lines, message, capfd, PanicException):
        with pytest.raises(PanicException) as info:
            fn(stream)
        assert str(info.value) == message
        out = capfd.readouterr().out
        assert out.count("DEBUG [src/qiv/entity/EObject.cpp:") == (lines or 0)
        has_parse_line = "Failed to parse" in message
        assert (f"]:\n{message}\n\n" in out) == has_parse_line
        assert "eApiConfigOut" not in out

    def test_panic_is_not_an_exception(self, fn, PanicException):
        assert not issubclass(PanicException, Exception)
        assert PanicException.__module__ == "pyo3_runtime"
        assert PanicException.__name__ == "PanicException"

    def test_usable_after_panic(self, fn, capfd, PanicException):
        with pytest.raises(PanicException):
            fn(b"\xfe\xff\xff\xff")
        assert len(fn(eapiconfig_stream())) == 53
        capfd.readouterr()


def test_no_leak_on_success_and_failure(capfd, PanicException):
    import gc
    import sys

    stream = eapiconfig_stream(id="a" * 64)
    fn = qiv_framework.do_set_eapiconfig
    for _ in range(200):
        fn(stream)
    gc.collect()
    before = sys.gettotalrefcount() if hasattr(sys, "gettotalrefcount") else None
    refs = sys.getrefcount(stream)
    for _ in range(2000):
        assert sys.getrefcount(fn(stream)) == 2
        try:
            fn(stream[:20])
        except PanicException:
            pass
    assert sys.getrefcount(stream) == refs
    if before is not None:
        assert abs(sys.gettotalrefcount() - before) < 100
    capfd.readouterr()


def test_debug_line_shapes(capfd):
    qiv_framework.do_set_eapiconfig(eapiconfig_stream(id='a"\n\t\\\0\u0301é\u200b', time=-5, flag=2, name="\x7f", url_logo="ok"))
    out = capfd.readouterr().out
    lines = re.findall(r"DEBUG \[([^\]:]+):(\d+)\]:\n(.*?)\n\n", out, re.S)
    assert [(f, m) for f, _, m in lines] == [
        ("src/qiv/entity/EObject.cpp", 'id: "a\\"\\n\\t\\\\\\0\\u{301}é\\u{200b}" time:-5'),
        (
            "src/qiv/core/qiv_core_api/utility/IuApi.cpp",
            'eApiConfigOut: EApiConfig { eobject: EObject { id: "a\\"\\n\\t\\\\\\0\\u{301}é\\u{200b}", time: -5 }, '
            'isLocal: true, name: "\\u{7f}", url_logo: "ok" }',
        ),
    ]
    assert out == "".join(f"DEBUG [{f}:{n}]:\n{m}\n\n" for f, n, m in lines)

"""The EApiConfigRust class: type frame, constructor, properties and the three conversions."""

import gc
import inspect
import os
import random
import re
import struct
import sys
import time
import weakref

import pytest

import qiv_framework
from qiv_framework import EApiConfigRust
from conftest import text

VERSION = 20240404
VERSION_BYTES = bytes.fromhex("14D8340100000000")
EOF_MESSAGE = "failed to fill whole buffer"


def make(isLocal=True, name="name", url_logo="https://example.invalid/logo.png"):
    return EApiConfigRust(isLocal, name, url_logo)


def record_bytes(id=b"x", time=-5, version=7, flag=b"\x01", name=b"n", url_logo=b""):
    return text(id) + struct.pack("<qq", time, version) + flag + text(name) + text(url_logo)


def fields(record):
    return (record.id, record.time, record.version, record.isLocal, record.name, record.url_logo)


def raises_panic(call):
    """Runs call, which must end in PanicException; returns the exception."""
    try:
        call()
    except BaseException as e:  # PanicException derives from BaseException only
        assert type(e).__name__ == "PanicException"
        return e
    pytest.fail("no PanicException")


class TestType:
    def test_names_and_module(self):
        assert EApiConfigRust.__module__ == "builtins"
        assert EApiConfigRust.__name__ == EApiConfigRust.__qualname__ == "EApiConfigRust"
        assert repr(EApiConfigRust) == "<class 'builtins.EApiConfigRust'>"
        assert qiv_framework.__all__[2] == "EApiConfigRust"
        assert qiv_framework.EApiConfigRust is EApiConfigRust

    def test_signatures_and_docs(self):
        assert str(inspect.signature(EApiConfigRust)) == "(isLocal, name, url_logo)"
        assert EApiConfigRust.__text_signature__ == "(isLocal, name, url_logo)"
        assert EApiConfigRust.__doc__ == ""
        for method in ("to_bytes", "to_string", "do_set_remote"):
            assert getattr(EApiConfigRust, method).__text_signature__ == "($self)"
            assert getattr(EApiConfigRust, method).__doc__ is None
        assert EApiConfigRust.from_bytes.__text_signature__ == "($self, data_bytes)"
        assert EApiConfigRust.from_bytes.__doc__ is None
        for prop in ("id", "time", "version", "isLocal", "name", "url_logo"):
            assert getattr(EApiConfigRust, prop).__doc__ == ""

    def test_cannot_be_subclassed(self):
        with pytest.raises(TypeError, match="not an acceptable base type"):
            type("Sub", (EApiConfigRust,), {})

    def test_no_dict_no_weakref_no_other_attributes(self):
        record = make()
        assert not hasattr(record, "__dict__")
        with pytest.raises(TypeError):
            weakref.ref(record)
        with pytest.raises(AttributeError):
            record.other = 1

    def test_identity_equality_and_hash(self):
        a = make()
        b = EApiConfigRust.from_bytes(a, bytes(a.to_bytes()))
        assert a == a and a != b and fields(a) == fields(b)
        assert hash(a) == object.__hash__(a)

    @pytest.mark.parametrize("call", [
        lambda: object.__new__(EApiConfigRust),  # would leave the record unmade
        lambda: EApiConfigRust.to_bytes(5),
        lambda: EApiConfigRust.from_bytes(b""),  # the method needs a record to be called on
        lambda: make().to_bytes(1),
        lambda: __import__("copy").copy(make()),
    ])
    def test_interpreter_refuses(self, call):
        with pytest.raises(TypeError):
            call()


class TestConstructor:
    def test_fresh_record(self):
        before = int(time.time())
        record = EApiConfigRust(True, "n", "u")
        after = int(time.time())
        assert re.fullmatch(r"[0-9a-f]{64}", record.id)
        assert before <= record.time <= after
        assert fields(record)[2:] == (VERSION, True, "n", "u")
        assert make().id != make().id

    @pytest.mark.parametrize("kwargs", [
        dict(isLocal=False, name="n", url_logo="u"),
        dict(url_logo="u", isLocal=False, name="n"),
        # names made at run time are not interned: matched by text
        {"".join(["is", "Local"]): False, "".join(["na", "me"]): "n", "".join(["url_", "logo"]): "u"},
    ])
    def test_keywords_in_any_order(self, kwargs):
        assert fields(EApiConfigRust(**kwargs))[3:] == (False, "n", "u")
        assert fields(EApiConfigRust(False, url_logo="u", name="n"))[3:] == (False, "n", "u")

    def test_empty_texts_and_str_subclass(self):
        class S(str):
            def __str__(self):
                return "other"

        record = EApiConfigRust(False, S("sub"), "")
        assert type(record.name) is str and record.name == "sub" and record.url_logo == ""

    @pytest.mark.parametrize("args, kwargs, message", [
        ((), {}, "missing 3 required positional arguments: 'isLocal', 'name', and 'url_logo'"),
        ((True,), {}, "missing 2 required positional arguments: 'name' and 'url_logo'"),
        ((True, "n"), {}, "missing 1 required positional argument: 'url_logo'"),
        ((), {"name": "n"}, "missing 2 required positional arguments: 'isLocal' and 'url_logo'"),
        ((True, "n", "u", 4), {}, "takes 3 positional arguments but 4 were given"),
        ((True, "n", "u", 4), {"bogus": 1}, "takes 3 positional arguments but 4 were given"),
        ((True,), {"bogus": 1}, "got an unexpected keyword argument 'bogus'"),
        ((True, "n", "u"), {"name": "x"}, "got multiple values for argument 'name'"),
        ((True, "n"), {"isLocal": False, "bogus": 1}, "got multiple values for argument 'isLocal'"),
        ((True, "n"), {"bogus": 1, "isLocal": False}, "got an unexpected keyword argument 'bogus'"),
    ])
    def test_argument_collection(self, args, kwargs, message):
        with pytest.raises(TypeError) as info:
            EApiConfigRust(*args, **kwargs)
        assert str(info.value) == "EApiConfigRust.__new__() " + message

    @pytest.mark.parametrize("args, message", [
        ((1, "n", "u"), "argument 'isLocal': 'int' object cannot be converted to 'PyBool'"),
        ((1, 2, 3), "argument 'isLocal': 'int' object cannot be converted to 'PyBool'"),
        ((None, "n", "u"), "argument 'isLocal': 'NoneType' object cannot be converted to 'PyBool'"),
        ((True, None, "u"), "argument 'name': 'NoneType' object cannot be converted to 'PyString'"),
        ((True, "n", b"u"), "argument 'url_logo': 'bytes' object cannot be converted to 'PyString'"),
    ])
    def test_conversion_errors_are_wrapped(self, args, message):
        with pytest.raises(TypeError) as info:
            EApiConfigRust(*args)
        assert str(info.value) == message and info.value.__cause__ is None

    def test_lone_surrogate_is_not_wrapped(self):
        with pytest.raises(UnicodeEncodeError):
            EApiConfigRust(True, "a\udc80", "u")

    def test_numpy_bool(self):
        np = pytest.importorskip("numpy")
        assert type(np.True_).__name__ in ("bool", "bool_")
        assert EApiConfigRust(np.True_, "n", "u").isLocal is True
        record = EApiConfigRust(np.bool_(False), "n", "u")
        assert record.isLocal is False
        record.isLocal = np.True_
        assert record.isLocal is True

    def test_init_changes_nothing(self):
        record = make()
        before = fields(record)
        assert record.__init__(False, "other", "other") is None
        assert fields(record) == before


class TestProperties:
    def test_write_and_read_back(self):
        record = make()
        record.isLocal, record.name, record.url_logo = False, "zz\x00é😀", ""
        assert fields(record)[3:] == (False, "zz\x00é😀", "")
        assert record.name is not record.name  # every read is a new str

    @pytest.mark.parametrize("prop, value, message", [
        ("isLocal", 1, "'int' object cannot be converted to 'PyBool'"),
        ("name", 5, "'int' object cannot be converted to 'PyString'"),
        ("url_logo", None, "'NoneType' object cannot be converted to 'PyString'"),
        ("url_logo", b"u", "'bytes' object cannot be converted to 'PyString'"),
    ])
    def test_refused_values_leave_the_record(self, prop, value, message):
        record = make()
        before = fields(record)
        with pytest.raises(TypeError) as info:
            setattr(record, prop, value)
        assert str(info.value) == message
        assert fields(record) == before

    def test_surrogate_in_setter(self):
        record = make()
        with pytest.raises(UnicodeEncodeError):
            record.name = "\ud800"
        assert record.name == "name"

    @pytest.mark.parametrize("prop", ["isLocal", "name", "url_logo"])
    def test_delete_refused(self, prop):
        record = make()
        with pytest.raises(AttributeError, match="^can't delete attribute$"):
            delattr(record, prop)
        assert getattr(record, prop) == getattr(make(), prop)

    @pytest.mark.parametrize("prop", ["id", "time", "version"])
    def test_read_only(self, prop):
        record = make()
        before = getattr(record, prop)
        with pytest.raises(AttributeError):
            setattr(record, prop, before)
        with pytest.raises(AttributeError):
            delattr(record, prop)
        assert getattr(record, prop) == before


class TestToBytes:
    def test_layout(self):
        record = EApiConfigRust(True, "a", "")
        data = record.to_bytes()
        assert type(data) is list and len(data) == 94
        data = bytes(data)
        assert data[0:4] == b"\x40\x00\x00\x00" and data[4:68] == record.id.encode()
        assert data[68:76] == struct.pack("<q", record.time)
        assert data[76:84] == VERSION_BYTES
        assert data[84:] == b"\x01" + b"\x01\x00\x00\x00a" + b"\xff\xff\xff\xff"

    def test_round_trip(self):
        record = EApiConfigRust(False, "näme\x00", "https://example.invalid/😀")
        data = bytes(record.to_bytes())
        for decoded in (record.from_bytes(data), make().from_bytes(data_bytes=data)):
            assert decoded is not record and fields(decoded) == fields(record)
            assert bytes(decoded.to_bytes()) == data


class TestFromBytes:
    @pytest.mark.parametrize("value, type_name", [
        (bytearray(b"\xff" * 4), "bytearray"),
        ([255, 255, 255, 255], "list"),
        (memoryview(b"\xff" * 4), "memoryview"),
        ("data", "str"),
        (None, "NoneType"),
    ])
    def test_only_bytes(self, value, type_name):
        with pytest.raises(TypeError) as info:
            make().from_bytes(value)
        assert str(info.value) == f"argument 'data_bytes': '{type_name}' object cannot be converted to 'PyBytes'"

    def test_bytes_subclass_and_trailing_bytes(self):
        class B(bytes):
            pass

        data = record_bytes()
        assert fields(make().from_bytes(B(data) + b"")) == fields(make().from_bytes(data + b"junk"))

    @pytest.mark.parametrize("args, kwargs, message", [
        ((), {}, "missing 1 required positional argument: 'data_bytes'"),
        ((b"", b""), {}, "takes 1 positional arguments but 2 were given"),
        ((b"",), {"data_bytes": b""}, "got multiple values for argument 'data_bytes'"),
        ((), {"data": b""}, "got an unexpected keyword argument 'data'"),
    ])
    def test_argument_collection(self, args, kwargs, message):
        with pytest.raises(TypeError) as info:
            make().from_bytes(*args, **kwargs)
        assert str(info.value) == "EApiConfigRust.from_bytes() " + message

    def test_every_strict_prefix_fails(self):
        data = record_bytes(id=b"abc", name=b"nm", url_logo=b"u")
        record = make()
        for end in range(len(data)):
            with pytest.raises(OSError) as info:
                record.from_bytes(data[:end])
            assert info.value.args == (EOF_MESSAGE,) and info.value.errno is None

    def test_text_form_of_decoded_record(self):
        decoded = make().from_bytes(record_bytes())
        assert decoded.to_string() == "id: x, time: -5, version: 7 name: n, url_logo: "
        assert make().from_bytes(record_bytes(flag=b"\x00")).to_string() == decoded.to_string()

    def test_count_zero_and_flag_two(self):
        data = record_bytes(id=b"i", flag=b"\x02", version=0)[:-4] + b"\x00\x00\x00\x00"
        decoded = make().from_bytes(data)
        assert (decoded.isLocal, decoded.version, decoded.url_logo) == (True, 0, "")
        assert bytes(decoded.to_bytes()) == record_bytes(id=b"i", flag=b"\x01", version=0)

    @pytest.mark.parametrize("bad", [b"\xc3\x28", b"\xed\xa0\x80", b"\xc0\xaf", b"\xf4\x90\x80\x80", b"\xe2\x82"])
    def test_invalid_utf8(self, bad):
        with pytest.raises(OSError) as info:
            make().from_bytes(record_bytes(name=bad))
        assert info.value.args == ("Invalid UTF-8",) and info.value.errno is None

    @pytest.mark.parametrize("count", [b"\xfe\xff\xff\xff", b"\x00\x00\x00\x80"])
    @pytest.mark.parametrize("where", ["id", "name", "url_logo"])
    def test_negative_count_panics(self, count, where):
        data = record_bytes()
        start = {"id": 0, "name": 22, "url_logo": 27}[where]
        data = data[:start] + count  # the count alone, nothing after it
        record = make()
        error = raises_panic(lambda: record.from_bytes(data))
        panic_type = type(error)
        assert str(error) == "capacity overflow" and panic_type.__module__ == "pyo3_runtime"
        assert not issubclass(panic_type, Exception) and issubclass(panic_type, BaseException)
        record.name = "after"  # the borrow was released: an exclusive one succeeds at once
        assert record.to_string().endswith("name: after, url_logo: https://example.invalid/logo.png")

    def test_garbage_ends_in_a_record_oserror_or_panic(self):
        rng = random.Random(20240404)
        valid = record_bytes(id=b"identifier", name="näme".encode(), url_logo=b"logo")
        inputs = [rng.randbytes(rng.randrange(40)) for _ in range(1500)]
        for _ in range(1500):
            data = bytearray(valid)
            for _ in range(rng.randrange(1, 4)):
                data[rng.randrange(len(data))] = rng.randrange(256)
            inputs.append(bytes(data[: rng.randrange(len(data) + 1)]))
        record = make()
        seen = set()
        for data in inputs:
            try:
                decoded = record.from_bytes(data)
                decoded.to_bytes(), decoded.to_string()
                seen.add("record")
            except OSError as e:
                assert e.args in ((EOF_MESSAGE,), ("Invalid UTF-8",))
                seen.add(e.args[0])
            except BaseException as e:
                assert type(e).__name__ == "PanicException" and str(e) == "capacity overflow"
                seen.add("panic")
        assert seen == {"record", EOF_MESSAGE, "Invalid UTF-8", "panic"}
        assert fields(record)[3:] == (True, "name", "https://example.invalid/logo.png")


class TestToString:
    def test_long_and_non_ascii_texts(self):
        record = make(name="é😀")
        head = f"id: {record.id}, time: {record.time}, version: {VERSION} name: "
        for size in range(500, 530):  # across the size of the stack buffer
            record.url_logo = "u" * size
            expected = head + "é😀, url_logo: " + record.url_logo
            assert record.to_string() == expected


def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def under_address_sanitizer():
    with open("/proc/self/maps") as f:
        return "libasan" in f.read()  # its quarantine holds freed memory back on purpose


class TestResources:
    def churn(self):
        data = record_bytes()
        record = make()
        for _ in range(100_000):
            EApiConfigRust(True, "name", "u" * 40).to_string()
            record.from_bytes(data)
        for bad in (b"", 5, "x"):
            for _ in range(10_000):
                try:
                    record.from_bytes(bad)
                except (OSError, TypeError):
                    pass
        for _ in range(10_000):
            try:
                EApiConfigRust(True, "n", url_logo=None)
            except TypeError:
                pass

    def test_create_and_drop_leaves_memory_and_refcounts(self):
        name = "".join(["unique", " name"])
        make(name=name)
        self.churn()  # warm the allocators
        gc.collect()
        refs = (sys.getrefcount(EApiConfigRust), sys.getrefcount(name))
        before = rss()
        self.churn()
        for _ in range(1000):
            make(name=name).name
        gc.collect()
        assert (sys.getrefcount(EApiConfigRust), sys.getrefcount(name)) == refs
        if not under_address_sanitizer():
            assert rss() - before < 2 * 1024 * 1024

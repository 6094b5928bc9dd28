"""Seeded random inputs for every entry point that takes data: each call ends in a value (checked
against a plain Python model of the codec where there is one) or in one of the documented
exceptions, never in a crash. QIV_FUZZ_INPUTS sets the number of inputs per test."""

import contextlib
import os
import random
import struct

import pytest

import qiv_framework
from conftest import ROUND_TRIP_TAIL, text

INPUTS = int(os.environ.get("QIV_FUZZ_INPUTS", "5000"))
SEEDS = [1, 2]
DOCUMENTED = (TypeError, OverflowError, OSError, UnicodeEncodeError, AttributeError, RuntimeError)


class Hostile(Exception):
    """Raised by the test's own objects; the module must pass it on unchanged."""


@contextlib.contextmanager
def quiet_descriptors():
    """Debug lines (fd 1) and panic reports (fd 2) of thousands of calls go nowhere."""
    saved = [os.dup(1), os.dup(2)]
    null = os.open(os.devnull, os.O_WRONLY)
    try:
        os.dup2(null, 1)
        os.dup2(null, 2)
        yield
    finally:
        os.dup2(saved[0], 1)
        os.dup2(saved[1], 2)
        for fd in (*saved, null):
            os.close(fd)


# ---- a model of the stream codec ----

class Panics(Exception):
    pass


def read_text(data, pos):
    if len(data) - pos < 4:
        raise EOFError
    (count,) = struct.unpack_from("<i", data, pos)
    pos += 4
    if count in (-1, 0):
        return "", pos
    if count < -1:
        raise Panics
    if count > len(data) - pos:
        raise EOFError
    return data[pos:pos + count].decode("utf-8"), pos + count  # strict: what the codec accepts


def read_fields(data, layout):
    pos, out = 0, []
    for kind in layout:
        if kind == "s":
            value, pos = read_text(data, pos)
        else:
            size = 8 if kind == "q" else 1
            if len(data) - pos < size:
                raise EOFError
            value = struct.unpack_from("<q", data, pos)[0] if kind == "q" else data[pos] != 0
            pos += size
        out.append(value)
    return out


def model_round_trip(data):
    id_, time, flag, _, _ = read_fields(data, "sqbss")
    return text(id_) + struct.pack("<q", time) + bytes([flag]) + ROUND_TRIP_TAIL


# ---- inputs ----

def random_text(rng):
    # Lone surrogates are rare: they make the text unencodable (and the stream undecodable).
    return "".join(rng.choices(["a", "é", "\u2713", "\U0001f600", "\0", "\udc80", "\ud800"], [20, 5, 5, 5, 5, 1, 1])[0]
                   for _ in range(rng.randrange(6)))


def random_stream(rng, layout):
    """A well-formed stream of the layout, then damaged at random."""
    out = bytearray()
    for kind in layout:
        if kind == "s":
            raw = random_text(rng).encode("utf-8", "surrogatepass")
            out += struct.pack("<i", rng.choice([len(raw)] * 8 + [-1, 0]) if raw else rng.choice([-1, 0])) + raw
        elif kind == "q":
            out += struct.pack("<q", rng.randrange(-2**63, 2**63))
        else:
            out.append(rng.randrange(256))
    for _ in range(rng.choice([0, 0, 0, 1, 3])):
        action = rng.randrange(4)
        if action == 0 and out:
            del out[rng.randrange(len(out)):]
        elif action == 1 and out:
            out[rng.randrange(len(out))] = rng.randrange(256)
        elif action == 2:
            at = rng.randrange(len(out) + 1)
            out[at:at] = struct.pack("<i", rng.choice([-2, -2**31, 2**31 - 1, 1, 5, 100]))
        else:
            out += bytes(rng.randrange(256) for _ in range(rng.randrange(8)))
    return bytes(out)


class HostileSequence:
    """A sequence whose length lies and whose items or iteration may fail."""

    def __init__(self, rng):
        self.items = list(random_stream(rng, "sqbss"))
        self.claimed = rng.choice([len(self.items), 0, 2**62])
        self.fail_at = rng.choice([None, 0, len(self.items) // 2])

    def __len__(self):
        return self.claimed

    def __getitem__(self, i):
        if self.fail_at is not None and i == self.fail_at:
            raise Hostile
        return self.items[i]


class HostileIndex:
    def __index__(self):
        raise Hostile


def random_object(rng):
    """Any kind of value a caller might pass, typed right or wrong."""
    np = numpy()
    stream = random_stream(rng, rng.choice(["sqbss", "sqqbss"]))
    choices = [
        lambda: stream, lambda: bytearray(stream), lambda: memoryview(stream), lambda: list(stream),
        lambda: tuple(stream), lambda: [rng.choice([-1, 256, 2**70, 1.0, None, True]) for _ in range(3)],
        lambda: random_text(rng), lambda: rng.randrange(-2**70, 2**70), lambda: rng.random(), lambda: None,
        lambda: True, lambda: False, lambda: {1: 2}, lambda: {1, 2}, lambda: iter(stream), lambda: range(300),
        lambda: HostileSequence(rng), lambda: [1, HostileIndex()], lambda: object(), lambda: type("S", (str,), {})("x"),
    ]
    if np is not None:
        choices += [lambda: np.bool_(rng.random() < 0.5), lambda: np.frombuffer(stream, dtype=np.uint8),
                    lambda: np.array([1, 2], dtype=np.int64), lambda: np.float64(1.0)]
    return rng.choice(choices)()


def numpy():
    try:
        import numpy as np
    except ImportError:
        return None
    return np


def call(fn, *args, **kwargs):
    """The value, or the exception when it is one the entry points document."""
    try:
        return fn(*args, **kwargs)
    except (*DOCUMENTED, Hostile) as exc:
        return exc
    except BaseException as exc:  # noqa: B036 - the panic type derives from BaseException
        if type(exc).__name__ == "PanicException":
            return exc
        raise


# ---- the tests ----

@pytest.mark.parametrize("seed", SEEDS)
@pytest.mark.parametrize("fn", [qiv_framework.do_set_eapiconfig, qiv_framework.do_test_binary],
                         ids=lambda f: f.__name__)
def test_round_trip_functions(fn, seed, PanicException):
    rng = random.Random(seed)
    with quiet_descriptors():
        for _ in range(INPUTS):
            data = random_stream(rng, "sqbss") if rng.random() < 0.7 else random_object(rng)
            result = call(fn, data)
            if type(data) is not bytes:
                # Any sequence of the same bytes gives what the bytes give.
                np = numpy()
                if isinstance(data, (bytearray, memoryview, list, tuple)) or (np and isinstance(data, np.ndarray)):
                    try:
                        same = bytes(data)
                    except (TypeError, ValueError, OverflowError, Hostile):
                        continue
                    if not isinstance(result, BaseException) or not isinstance(call(fn, same), BaseException):
                        assert result == fn(same), data
                continue
            try:
                expected = model_round_trip(data)
            except (EOFError, UnicodeDecodeError, Panics):
                assert type(result) is PanicException, data
            else:
                assert result == expected, data


@pytest.mark.parametrize("seed", SEEDS)
def test_from_bytes(seed, PanicException):
    rng = random.Random(seed)
    record = qiv_framework.EApiConfigRust(True, "n", "u")
    for _ in range(INPUTS):
        data = random_stream(rng, "sqqbss") if rng.random() < 0.7 else random_object(rng)
        with quiet_descriptors():
            result = call(record.from_bytes, data)
        if type(data) is not bytes:
            assert isinstance(result, TypeError), (data, result)
            continue
        try:
            fields = read_fields(data, "sqqbss")
        except (EOFError, UnicodeDecodeError) as exc:
            assert type(result) is OSError, (data, exc, result)
        except Panics:
            assert type(result) is PanicException, data
        else:
            got = [result.id, result.time, result.version, result.isLocal, result.name, result.url_logo]
            assert got == fields, data
            assert bytes(result.to_bytes()) == bytes(result.from_bytes(bytes(result.to_bytes())).to_bytes())


def valid(name, value):
    if name == "isLocal":
        np = numpy()
        return type(value) is bool or (np is not None and type(value) is np.bool_)
    if not isinstance(value, str):
        return False
    return not any(0xD800 <= ord(c) <= 0xDFFF for c in value)


@pytest.mark.parametrize("seed", SEEDS)
def test_constructor_and_setters(seed):
    rng = random.Random(seed)
    names = ["isLocal", "name", "url_logo"]
    for _ in range(INPUTS):
        values = [rng.choice([True, random_text(rng), random_object(rng)]) for _ in names]
        well_formed = rng.random() < 0.8
        if well_formed:
            split = rng.randrange(4)
            args, kwargs = values[:split], dict(zip(names[split:], values[split:]))
        else:
            args, kwargs = values[:rng.randrange(5)], {rng.choice(names + ["x"]): values[0]}
        record = call(qiv_framework.EApiConfigRust, *args, **kwargs)
        all_valid = all(valid(n, v) for n, v in zip(names, values))
        if isinstance(record, BaseException):
            assert not (well_formed and all_valid), (args, kwargs, record)
            continue
        assert all_valid
        attribute = rng.choice(names + ["id", "time", "version"])
        value = random_object(rng) if rng.random() < 0.5 else values[rng.randrange(3)]
        before = getattr(record, attribute)
        if rng.random() < 0.1:
            assert isinstance(call(delattr, record, attribute), AttributeError)
            continue
        result = call(setattr, record, attribute, value)
        if attribute in names and valid(attribute, value):
            assert result is None and getattr(record, attribute) == value
        else:
            assert isinstance(result, (TypeError, UnicodeEncodeError, AttributeError)), (attribute, value, result)
            assert getattr(record, attribute) == before
        record.to_string()


"""The main job, end to end: records, their binary form, the stream round trip and a server call."""
import sys

import qiv_framework
from qiv_framework import EApiConfigRust

record = EApiConfigRust(True, "demo endpoint", "https://example.test/logo.png")
print("record:", record.to_string())
print("isLocal:", record.isLocal)

data = bytes(record.to_bytes())
print(f"binary form: {len(data)} bytes, begins {data[:8].hex(' ')}")
copy = record.from_bytes(data)
assert (copy.id, copy.time, copy.version, copy.isLocal, copy.name, copy.url_logo) == (
    record.id, record.time, record.version, record.isLocal, record.name, record.url_logo)
print("decoded again:", copy.to_string())

# An EApiConfig stream: id, time, flag, name, url_logo.
stream = data[: 4 + len(record.id) + 8] + bytes([1]) + data[85:]
sys.stdout.flush()  # debug lines go to file descriptor 1 directly
out = qiv_framework.do_set_eapiconfig(stream)
print("round trip gave", len(out), "bytes:", out[-36:])

reply = record.do_set_remote()
print("server replied:", reply)

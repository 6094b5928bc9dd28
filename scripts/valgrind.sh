#!/usr/bin/env bash
# Valgrind memcheck of a representative subset of the Python tests against a build of the module
# with debug information. Clean means: no invalid access, no use of uninitialised memory and no
# definite leak that involves the module's code (a frame of it in any stack of the report, the
# origin of an uninitialised value included). The interpreter's own reports (its known false
# positives, what it keeps until exit) are counted and listed, but do not fail the run.
#
#   scripts/valgrind.sh                        the subset
#   scripts/valgrind.sh test_round_trip.py     other pytest arguments instead of the subset
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/valgrind"

scripts/setup.sh valgrind
python="$root/.venv/bin/python"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPython_EXECUTABLE="$python" >/dev/null
cmake --build "$build" --target qiv_framework
site="$build/site"
rm -rf "$site" && mkdir -p "$site" && cp "$build"/qiv_framework*.so "$site/"

if [ $# -gt 0 ]; then
  selection=("$@")
else
  # The codec and round trip, the record class, and the seeded random inputs (fewer of them:
  # memcheck runs some fifty times slower). The memory-growth test measures the process size,
  # which means nothing under memcheck. A few server calls: each runs in a child interpreter,
  # which memcheck follows (the stand-in servers and the build tools it does not).
  selection=(test_round_trip.py test_module.py test_fuzz_entrypoints.py
    "test_server_call.py::TestReply::test_request_on_the_wire_is_exact"
    "test_server_call.py::TestReply::test_malformed_utf8_becomes_replacement_characters"
    "test_server_call.py::TestRedirects::test_nine_redirects_are_followed"
    "test_server_call.py::TestProxies::test_http10_tunnel_reply_is_accepted"
    -k "not memory_is_flat")
  export QIV_FUZZ_INPUTS=${QIV_FUZZ_INPUTS:-300}
fi

reports="$build/reports"
rm -rf "$reports" && mkdir -p "$reports"
cd "$root/tests"
# The interpreter's own allocator hides the module's heap blocks from memcheck: plain malloc.
status=0
PYTHONMALLOC=malloc PYTHONPATH="$site${PYTHONPATH:+:$PYTHONPATH}" \
  valgrind --tool=memcheck --track-origins=yes --num-callers=40 --child-silent-after-fork=yes \
    --trace-children=yes --trace-children-skip='*/cmake,*/ninja,*/make,*/cc,*/c++,*/gcc,*/g++,*/ld' \
    --trace-children-skip-by-arg='*api_server.py*,*connect_proxy.py*' \
    --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --xml=yes --xml-file="$reports/memcheck.%p.xml" --log-file="$reports/memcheck.%p.log" \
    "$python" -m pytest -q -p no:cacheprovider -p no:faulthandler "${selection[@]}" || status=$?
[ "$status" -eq 0 ] || { echo "valgrind: the tests failed under memcheck (exit status $status)" >&2; exit 1; }

"$python" - "$reports" <<'PY'
import glob, sys, xml.etree.ElementTree as ET

OURS = ("qiv_framework",)

def frames(error, per_stack=None):
    for stack in error.iter("stack"):
        for frame in list(stack.iter("frame"))[:per_stack]:
            yield {k: (frame.findtext(k) or "") for k in ("obj", "fn", "file", "line")}

def ours(frame):
    # The layers are linked into the module, so every frame of ours is in its object.
    return any(o in frame["obj"] for o in OURS)

found, outside = [], 0
for path in sorted(glob.glob(sys.argv[1] + "/memcheck.*.xml")):
    for error in ET.parse(path).getroot().iter("error"):
        kind = error.findtext("kind")
        if kind.startswith("Leak_") and kind != "Leak_DefinitelyLost":
            continue
        if any(ours(f) for f in frames(error)):
            found.append((path, error))
        else:
            outside += 1

print(f"valgrind: {outside} report(s) outside the module (the interpreter and its libraries)")
for path, error in found:
    what = error.findtext("what") or error.findtext("xwhat/text")
    print(f"== {error.findtext('kind')}: {what}  [{path}]")
    for f in frames(error, per_stack=12):
        print(f"   {f['fn'] or '?'}  {f['file']}:{f['line']}  ({f['obj'].rsplit('/', 1)[-1]})")
sys.exit(1 if found else 0)
PY
echo "valgrind: clean"

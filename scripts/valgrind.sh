#!/usr/bin/env bash
# Valgrind memcheck of a representative subset of the Python tests against a build of the module
# with debug information. Clean means: no invalid access, no use of uninitialised memory and no
# definite leak; CPython's own reports at exit are suppressed (scripts/valgrind-python.supp).
#
#   scripts/valgrind.sh                        the subset
#   scripts/valgrind.sh test_round_trip.py     other pytest arguments instead of the subset
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/valgrind"

scripts/setup.sh
if ! command -v valgrind >/dev/null 2>&1; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q valgrind
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPython_EXECUTABLE="$(command -v python3)" >/dev/null
cmake --build "$build" --target qiv_framework
site="$build/site"
rm -rf "$site" && mkdir -p "$site" && cp "$build"/qiv_framework*.so "$site/"

python=$(python3 -c 'import sys; print(sys.executable)')
if [ $# -gt 0 ]; then
  selection=("$@")
else
  # The codec and round trip, the record class, and the seeded random inputs (fewer of them:
  # memcheck runs some fifty times slower). The memory-growth test measures the process size,
  # which means nothing under memcheck.
  selection=(test_round_trip.py test_module.py test_fuzz_entrypoints.py -k "not memory_is_flat")
  export QIV_FUZZ_INPUTS=${QIV_FUZZ_INPUTS:-300}
fi

reports="$build/reports"
rm -rf "$reports" && mkdir -p "$reports"
cd "$root/tests"
# The interpreter's own allocator hides the module's heap blocks from memcheck: plain malloc.
status=0
PYTHONMALLOC=malloc PYTHONPATH="$site${PYTHONPATH:+:$PYTHONPATH}" \
  valgrind --tool=memcheck --error-exitcode=97 --track-origins=yes \
    --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --suppressions="$root/scripts/valgrind-python.supp" --gen-suppressions=all \
    --log-file="$reports/memcheck.%p.log" \
    "$python" -m pytest -q -p no:cacheprovider -p no:faulthandler "${selection[@]}" || status=$?

# The log of the interpreter that ran pytest says whether memcheck found anything.
errors=$(grep -h "ERROR SUMMARY" "$reports"/memcheck.*.log | grep -Ev "ERROR SUMMARY: 0 errors" || true)
if [ "$status" -ne 0 ] || [ -n "$errors" ]; then
  for log in "$reports"/memcheck.*.log; do
    grep -q "ERROR SUMMARY: 0 errors" "$log" || { echo "== $log"; cat "$log"; }
  done
  echo "valgrind: findings (exit status $status), logs in $reports" >&2
  exit 1
fi
echo "valgrind: clean"

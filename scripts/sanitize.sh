#!/usr/bin/env bash
# AddressSanitizer + UndefinedBehaviorSanitizer: builds the module and the C++ tests with both,
# runs the C++ tests, then the whole pytest suite in an interpreter with the sanitizer runtime
# preloaded and the sanitized module first on the import path. Any report fails the run.
#
#   scripts/sanitize.sh                  everything
#   scripts/sanitize.sh -k round_trip    extra arguments go to pytest
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/asan"

scripts/setup.sh
# The environment's interpreter itself (not a launcher script), so that only it runs with the
# runtime preloaded.
python="$root/.venv/bin/python"

# ---- build (g++: its runtime is the one preloaded below) ----
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DQIV_SANITIZE=ON -DQIV_BUILD_CPP_TESTS=ON -DPython_EXECUTABLE="$python" >/dev/null
cmake --build "$build"

module=$(ls "$build"/qiv_framework*.so)
# ldd's whole list is read before testing it: a reader that stops at its first match can end ldd
# with SIGPIPE, which pipefail would turn into a false "not linked".
linked=$(ldd "$module")
[[ "$linked" == *libasan* ]] || { echo "sanitize: $module is not linked with the sanitizer runtime" >&2; exit 1; }
site="$build/site"
rm -rf "$site" && mkdir -p "$site" && cp "$module" "$site/"

# ---- run-time settings, inherited by every child interpreter the tests start ----
# The interpreter keeps its objects until exit by design: leak detection off in the interpreter.
# halt_on_error/abort_on_error: the first report ends the process with a failure.
# quarantine_size_mb: the memory-growth tests measure the process size, which the default
# quarantine of freed blocks (256 MB) would inflate.
# log_path: reports go to files, so that one from a child process (or one that the test
# runner's output capture would swallow) still fails the run.
reports="$build/reports"
rm -rf "$reports" && mkdir -p "$reports"
export ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:quarantine_size_mb=16:log_path=$reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:report_error_type=1:log_path=$reports/ubsan"
preload="$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)"

# ---- C++ tests (not under the interpreter: leak detection stays on) ----
failed=()
ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=0/detect_leaks=1}" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" || failed+=("C++ tests")

# ---- Python tests ----
# The server-call tests build a test copy of the module of their own: sanitized too.
export QIV_TEST_SANITIZE=1
cd "$root/tests"
export PYTHONPATH="$site${PYTHONPATH:+:$PYTHONPATH}"
LD_PRELOAD="$preload" "$python" -c "
import qiv_framework, sys
if not qiv_framework.__file__.startswith('$site'):
    sys.exit('sanitize: imported ' + qiv_framework.__file__ + ', not the sanitized build')
"
LD_PRELOAD="$preload" "$python" -m pytest -q -p no:cacheprovider "$@" || failed+=("Python tests")

if compgen -G "$reports/*" >/dev/null; then
  for report in "$reports"/*; do echo "== $report"; cat "$report"; done
  failed+=("sanitizer reports")
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "sanitize: failed: ${failed[*]}" >&2
  exit 1
fi
echo "sanitize: clean"

#!/usr/bin/env bash
# Builds and installs the module, then runs the whole test suite: the C++ internals, then Python.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh
python="$root/.venv/bin/python"

# The committed tables must be what their generators make of the committed data.
"$python" scripts/gen_unicode_tables.py --check
"$python" scripts/gen_encoding_tables.py --check
"$python" -m pip install -q --disable-pip-version-check . -C cmake.define.QIV_WERROR=ON

cmake -S . -B build/cpp-tests -G Ninja -DQIV_BUILD_CPP_TESTS=ON -DQIV_WERROR=ON \
  -DPython_EXECUTABLE="$python" >/dev/null
cmake --build build/cpp-tests
ctest --test-dir build/cpp-tests --output-on-failure -j"$(nproc)"

# Run from the tests folder so that the installed module, not the source tree, is imported.
cd "$root/tests"
"$python" -m pytest -q "$@"

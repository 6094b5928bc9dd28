#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs each for a bounded time from its seed corpus.
#
#   scripts/fuzz.sh                       every target, 60 s each
#   FUZZ_SECONDS=3600 scripts/fuzz.sh     a longer run
#   scripts/fuzz.sh decoders no_proxy     only these targets
#
# FUZZ_JOBS runs that many targets at once (default 1). Inputs found that add coverage go to
# build/fuzz/corpus/<name>/ (the committed seeds in fuzz/corpus/ are only read); a crash leaves
# build/fuzz/artifacts/<name>/crash-* and makes the script exit non-zero. Replay one with
#   build/fuzz/fuzz/fuzz_<name> build/fuzz/artifacts/<name>/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-1}
build=build/fuzz
llvm_version=16

# ---- tools ----
scripts/setup.sh "clang-$llvm_version" "libclang-rt-$llvm_version-dev"

# ---- build ----
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="clang-$llvm_version" -DCMAKE_CXX_COMPILER="clang++-$llvm_version" \
  -DQIV_BUILD_FUZZ=ON -DPython_EXECUTABLE="$root/.venv/bin/python" >/dev/null
cmake --build "$build" --target fuzz_targets

# ---- run ----
if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    names+=("${name#fuzz_}")
  done
fi

run_one() {
  local name=$1
  local binary="$build/fuzz/fuzz_$name"
  local work="$build/corpus/$name" artifacts="$build/artifacts/$name"
  mkdir -p "$work" "$artifacts"
  local dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  # close_fd_mask=3: the panic reports and debug lines of the code under test are expected
  # output; the fuzzer keeps its own report (and the sanitizers') on a descriptor of its own.
  "$binary" "$work" "fuzz/corpus/$name" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    >"$build/log-$name.txt" 2>&1
}

report() {
  local name=$1 status=$2
  if [ "$status" -eq 0 ]; then
    echo "fuzz $name: ok, $(grep -Eo 'number_of_executed_units: *[0-9]+' "$build/log-$name.txt" | grep -Eo '[0-9]+$') runs"
  else
    echo "fuzz $name: FAILED (log $build/log-$name.txt)"
    tail -n 60 "$build/log-$name.txt"
  fi
}

failed=()
start=$(date +%s)
declare -A running=()  # pid -> target name

# Waits for whichever target ends first and reports it.
reap() {
  local pid status=0
  wait -n -p pid "${!running[@]}" || status=$?
  report "${running[$pid]}" "$status"
  [ "$status" -eq 0 ] || failed+=("${running[$pid]}")
  unset "running[$pid]"
}

for name in "${names[@]}"; do
  if [ ! -x "$build/fuzz/fuzz_$name" ]; then
    echo "fuzz $name: no such target" >&2
    failed+=("$name")
    continue
  fi
  while [ "${#running[@]}" -ge "$jobs" ]; do reap; done
  run_one "$name" &
  running[$!]=$name
done
while [ "${#running[@]}" -gt 0 ]; do reap; done
echo "fuzzing took $(( $(date +%s) - start )) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz findings: ${failed[*]}" >&2
  exit 1
fi

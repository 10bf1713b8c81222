#!/usr/bin/env bash
# Builds every fuzz target (fuzz/<Name>Fuzz.cpp) with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer in build-fuzz, and runs each for the given
# number of seconds (default 30) on its seeds in fuzz/corpus/<Name>/. Inputs
# that a run finds interesting are kept in build-fuzz/corpus/<Name>/, never in
# the repository. Prints each target's executions; a crash, a leak, a hang or
# a failed check leaves its input in build-fuzz/crashes/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFAULTWRIGHT_FUZZ=ON \
  -DFAULTWRIGHT_SANITIZE=ON -DFAULTWRIGHT_TESTS=OFF -DFAULTWRIGHT_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)"

mkdir -p build-fuzz/crashes
failed=0
for source in fuzz/*Fuzz.cpp; do
  name=$(basename "$source" Fuzz.cpp)
  mkdir -p "build-fuzz/corpus/$name"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 -print_final_stats=1
           -artifact_prefix="build-fuzz/crashes/$name-")
  if [ -f "fuzz/$name.dict" ]; then options+=(-dict="fuzz/$name.dict"); fi
  log=build-fuzz/$name.log
  if "build-fuzz/fuzz/${name}Fuzz" "${options[@]}" "build-fuzz/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    printf '%-14s %10s executions in %s s\n' "$name" "$runs" "$seconds"
  else
    echo "$name: FAILED (the whole output is in $log)"
    grep -E -A12 'ERROR:|check failed|SUMMARY:' "$log" | head -n 40 || tail -n 40 "$log"
    failed=1
  fi
done
exit "$failed"

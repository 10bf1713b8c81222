#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan and runs the whole test suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build-asan -DFAULTWRIGHT_SANITIZE=ON -DFAULTWRIGHT_BENCHMARKS=OFF
ctest --test-dir build-asan --output-on-failure -j "$(nproc)"

#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds with warnings as errors, runs every test, then builds
# the tests again with AddressSanitizer + UndefinedBehaviorSanitizer and runs them, then runs each
# fuzzer for a bounded time. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

echo "== Build (warnings are errors)"
BUILD_DIR=build-ci bash scripts/build.sh -DKUVRION_CI=ON
echo "== Tests"
ctest --test-dir build-ci --output-on-failure -j"$jobs"
bash scripts/ci/windows.sh
bash scripts/ci/package.sh

echo "== Build with AddressSanitizer + UndefinedBehaviorSanitizer"
BUILD_DIR=build-asan BUILD_TYPE=Debug bash scripts/build.sh -DKUVRION_CI=ON -DKUVRION_SANITIZE=ON \
    -DKUVRION_BENCH=OFF -DKUVRION_MANUAL=OFF
echo "== Tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [[ -f fuzz/run-fuzzers.sh ]]; then
    echo "== Fuzzers (bounded time)"
    bash fuzz/run-fuzzers.sh "${FUZZ_SECONDS:-60}"
fi
echo "All tests passed."

#!/usr/bin/env bash
# CI step: builds the tests into build-asan with AddressSanitizer + UndefinedBehaviorSanitizer and
# runs them; every sanitizer report fails the run. Exits non-zero on any failure, naming it.
source "$(dirname "$0")/../common.sh"
cd "$(dirname "$0")/../.."
jobs=$(nproc)

echo "== Build with AddressSanitizer + UndefinedBehaviorSanitizer"
BUILD_DIR=build-asan BUILD_TYPE=Debug bash scripts/build.sh -DKUVRION_CI=ON -DKUVRION_SANITIZE=ON \
    -DKUVRION_BENCH=OFF -DKUVRION_MANUAL=OFF
echo "== Tests under the sanitizers: ctest --test-dir build-asan -j$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure --no-tests=error --timeout 600 -j"$jobs" ||
    fail "tests failed under the sanitizers in build-asan (the list above names them)"

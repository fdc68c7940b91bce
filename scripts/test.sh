#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds with warnings as errors, runs every test, then builds
# the tests again with AddressSanitizer + UndefinedBehaviorSanitizer and runs them, then runs each
# fuzzer for a bounded time. Exits non-zero on any failure.
#
# The stages are the CI steps, each of which runs alone as well: scripts/install-deps.sh,
# scripts/ci/build-and-test.sh, scripts/ci/sanitizers.sh, scripts/ci/fuzz.sh (FUZZ_SECONDS).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/ci/build-and-test.sh
bash scripts/ci/sanitizers.sh
bash scripts/ci/fuzz.sh
echo "All tests passed."

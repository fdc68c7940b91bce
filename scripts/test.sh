#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds with warnings as errors, runs every test, cross-builds
# for Windows and runs the tests under Wine, builds and tries the Debian package, prints through a
# print queue on the kuvrion backend (a cupsd of its own), then builds the tests again with
# AddressSanitizer + UndefinedBehaviorSanitizer and runs them, then runs each fuzzer for a bounded
# time. Exits non-zero on any failure.
#
# The stages are the CI steps, each of which runs alone as well: scripts/install-deps.sh,
# scripts/ci/build-and-test.sh, scripts/ci/windows.sh, scripts/ci/package.sh, scripts/ci/cups.sh,
# scripts/ci/sanitizers.sh, scripts/ci/fuzz.sh (FUZZ_SECONDS).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/ci/build-and-test.sh
bash scripts/ci/windows.sh
bash scripts/ci/package.sh
bash scripts/ci/cups.sh
bash scripts/ci/sanitizers.sh
FUZZ_SECONDS=${FUZZ_SECONDS:-25} bash scripts/ci/fuzz.sh
echo "All tests passed."

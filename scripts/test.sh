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
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
start=$SECONDS

# Runs one stage, saying what it runs and how long it took; a failing stage is named with its exit
# status (its own last lines say what failed and why), and the run ends there.
stage() {
    local name=$1 began=$SECONDS status=0
    shift
    echo "==== Stage: $name"
    echo "+ $*"
    "$@" || status=$?
    if ((status != 0)); then
        echo "FAILED: CI stage \"$name\" ended with status $status after $((SECONDS - began)) s ($*)" >&2
        common_told=1
        exit "$status"
    fi
    echo "==== Stage passed: $name ($((SECONDS - began)) s)"
}

stage "install the Debian packages" bash scripts/install-deps.sh
stage "build with warnings as errors and run every test" bash scripts/ci/build-and-test.sh
stage "Windows build, tests under Wine, byte comparison" bash scripts/ci/windows.sh
stage "Debian package" bash scripts/ci/package.sh
stage "print queue: cupsd with the kuvrion backend" bash scripts/ci/cups.sh
stage "AddressSanitizer + UndefinedBehaviorSanitizer" bash scripts/ci/sanitizers.sh
stage "fuzzers" env FUZZ_SECONDS="${FUZZ_SECONDS:-25}" bash scripts/ci/fuzz.sh
echo "All tests passed ($((SECONDS - start)) s)."

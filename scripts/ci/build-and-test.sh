#!/usr/bin/env bash
# CI step: builds everything into build-ci with warnings as errors (the desktop program, its tests
# and the manual included) and runs every test. Exits non-zero on any failure.
set -euo pipefail
trap 'echo "$0: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/../.."
jobs=$(nproc)

echo "== Build (warnings are errors)"
BUILD_DIR=build-ci bash scripts/build.sh -DKUVRION_CI=ON
echo "== Tests"
ctest --test-dir build-ci --output-on-failure -j"$jobs"

#!/usr/bin/env bash
# CI step: builds everything into build-ci with warnings as errors (the desktop program, its tests
# and the manual included) and runs every test; checks that the mutation check's fault list still
# matches the code. Exits non-zero on any failure, naming it.
source "$(dirname "$0")/../common.sh"
cd "$(dirname "$0")/../.."
jobs=$(nproc)

echo "== Build (warnings are errors)"
BUILD_DIR=build-ci bash scripts/build.sh -DKUVRION_CI=ON
echo "== Tests: ctest --test-dir build-ci -j$jobs (no tests found is a failure)"
ctest --test-dir build-ci --output-on-failure --no-tests=error --timeout 600 -j"$jobs" ||
    fail "tests failed in build-ci (the list above names them)"
echo "== Mutation check's fault list: every fault still found in src/"
if ! list=$(python3 scripts/mutation_check.py --list 2>&1); then
    grep -B1 -A1 "STALE" <<<"$list" >&2 || printf '%s\n' "$list" >&2
    fail "scripts/mutations.txt no longer matches src/ (fix its in:/file:/find: lines)"
fi
tail -n 1 <<<"$list"

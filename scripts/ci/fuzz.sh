#!/usr/bin/env bash
# CI step: runs each fuzzer for FUZZ_SECONDS seconds (default 60); see fuzz/run-fuzzers.sh for the
# other FUZZ_* settings. Exits non-zero on any finding, and when a fuzzer did not run at all.
source "$(dirname "$0")/../common.sh"
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-60}

[[ -f fuzz/run-fuzzers.sh ]] || fail "fuzz/run-fuzzers.sh is missing"
shopt -s nullglob
targets=(fuzz/*_fuzzer.cpp)
shopt -u nullglob
((${#targets[@]} > 0)) || fail "no fuzz targets (fuzz/*_fuzzer.cpp)"
echo "== Fuzzers: bash fuzz/run-fuzzers.sh $seconds (${#targets[@]} targets)"
log=$(mktemp)
at_exit 'rm -f "$log"'
if ! bash fuzz/run-fuzzers.sh "$seconds" 2>&1 | tee "$log"; then
    fail "fuzz/run-fuzzers.sh failed: a finding or a failed build (named above)"
fi
# Each target reports its run; one that never ran cannot pass.
for src in "${targets[@]}"; do
    t=$(basename "$src" .cpp)
    grep -q "^== $t:" "$log" || fail "the fuzzer $t reported no run"
done
echo "== Fuzzers: ${#targets[@]} ran ${seconds} s each without a finding"

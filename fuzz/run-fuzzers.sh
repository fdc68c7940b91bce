#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each one (one per core at a time) for SECONDS seconds (default 60) on a fresh copy of its seed
# corpus, so the repository is never written. Exits non-zero on any finding; the crashing input is
# left in build-fuzz/findings/<target>/ to be kept as a regression seed in fuzz/corpus/<target>/.
#
#   fuzz/run-fuzzers.sh [SECONDS] [TARGET...]
#   FUZZ_RUNS=10000000 fuzz/run-fuzzers.sh 3600    # stop each after 10 million executions
#   FUZZ_MAX_LEN=512 fuzz/run-fuzzers.sh 600        # shorter inputs, many more executions
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD_DIR:-build-fuzz}

if ! command -v clang++-14 >/dev/null; then
    echo "clang++-14 is needed for the fuzzers (apt-get install clang-14)" >&2
    exit 1
fi
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKUVRION_FUZZ=ON -DKUVRION_GUI=OFF -DKUVRION_TESTS=OFF -DKUVRION_BENCH=OFF \
    -DKUVRION_MANUAL=OFF >/dev/null
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    for src in fuzz/*_fuzzer.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi
cmake --build "$build" -j"${FUZZ_JOBS:-2}" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One fuzzer per core at a time; each reports when it is done.
run_one() {
    local t=$1
    rm -rf "${build:?}/findings/$t"
    mkdir -p "$work/$t" "$build/findings/$t"
    cp -r "fuzz/corpus/$t/." "$work/$t/"
    local runs=()
    if [[ -n ${FUZZ_RUNS:-} ]]; then
        runs+=(-runs="$FUZZ_RUNS")
    fi
    if [[ -n ${FUZZ_MAX_LEN:-} ]]; then
        runs+=(-max_len="$FUZZ_MAX_LEN")
    fi
    local log="$build/findings/$t.log"
    local rc=0
    # abort_on_error and halt_on_error make every sanitizer report a finding, not a warning.
    ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
        UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
        "$build/fuzz/$t" -max_total_time="$seconds" "${runs[@]}" -rss_limit_mb=2048 \
        -timeout=25 -print_final_stats=1 -artifact_prefix="$build/findings/$t/" \
        "$work/$t" >"$log" 2>&1 || rc=$?
    {
        echo "== $t: ${seconds} s${FUZZ_RUNS:+ or $FUZZ_RUNS runs}"
        # The last status line (executions, cov, ft) and the final statistics.
        grep -E '^#[0-9]+' "$log" | tail -n 1 || true
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
    }
    # A unit over 10 s leaves a "slow-unit-" file: on a loaded machine that is a stall, not a
    # finding (a real hang ends the run at -timeout with an error). Crashes, leaks, timeouts and
    # out-of-memory inputs count.
    if compgen -G "$build/findings/$t/slow-unit-*" >/dev/null; then
        echo "   $t: slow units kept in $build/findings/$t/ (not counted as findings)"
    fi
    if [[ $rc -ne 0 ]] || compgen -G "$build/findings/$t/[!s]*" >/dev/null; then
        grep -E 'broken invariant|ERROR|SUMMARY|runtime error' "$log" | head -n 5 >&2 || true
        echo "!! $t: finding (exit $rc), see $log and $build/findings/$t/" >&2
        return 1
    fi
}

parallel=${FUZZ_PARALLEL:-$(nproc)}
failed=0
running=0
for t in "${targets[@]}"; do
    if ((running >= parallel)); then
        wait -n || failed=1
        running=$((running - 1))
    fi
    run_one "$t" &
    running=$((running + 1))
done
while ((running > 0)); do
    wait -n || failed=1
    running=$((running - 1))
done
exit $failed

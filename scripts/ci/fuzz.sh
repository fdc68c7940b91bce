#!/usr/bin/env bash
# CI step: runs each fuzzer for FUZZ_SECONDS seconds (default 60); see fuzz/run-fuzzers.sh for the
# other FUZZ_* settings. Exits non-zero on any finding.
set -euo pipefail
trap 'echo "$0: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/../.."

if [[ -f fuzz/run-fuzzers.sh ]]; then
    echo "== Fuzzers (bounded time)"
    bash fuzz/run-fuzzers.sh "${FUZZ_SECONDS:-60}"
fi
